// Texts the main window builds: entry dates and native paths.
#pragma once

#include <QChar>
#include <QString>

namespace entryformat {

// An automation date (days since 30 December 1899, time of day as the fraction) as
// "YYYY-MM-DD HH:MM", 24-hour clock; the time is rounded to the second first.
QString DateText(double automationDate);

// Every doubled separator replaced by one, left to right: "C:\\data\\" becomes
// "C:\data\" with "\", and "//" becomes "/" with "/".
QString CollapseDoubledSeparators(QString path, QChar separator);

}  // namespace entryformat
