#include "EntryFormat.h"

#include <QDate>

#include <cmath>

namespace entryformat {

QString DateText(double automationDate) {
    if (!std::isfinite(automationDate)) return QString();
    // The whole part counts days (also before 1899), the fraction is always the time.
    double days = std::trunc(automationDate);
    long long seconds = std::llround(std::fabs(automationDate - days) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += automationDate < 0 ? -1 : 1;
    }
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    const int hour = static_cast<int>(seconds / 3600);
    const int minute = static_cast<int>(seconds / 60 % 60);
    return QStringLiteral("%1-%2-%3 %4:%5")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'));
}

QString CollapseDoubledSeparators(QString path, QChar separator) {
    const QString doubled(2, separator);
    path.replace(doubled, QString(separator));
    return path;
}

}  // namespace entryformat
