#include "QtTestSupport.h"
#include "cZip.h"
#include "frmEncryption.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using qtsupport::Child;

namespace {

QRadioButton *Option(QWidget *w, int i) {
    return Child<QRadioButton>(w, QStringLiteral("optClevel%1").arg(i).toLatin1().constData());
}

TEST(frmEncryption, FirstOpeningSelectsMaximumAndWritesItBack) {
    cZip zip;
    std::string password;
    EXPECT_EQ(zip.Options().LevelChar, '9');
    frmEncryption settings(zip, password);
    EXPECT_TRUE(Option(&settings, 3)->isChecked());
    EXPECT_EQ(zip.Options().LevelChar, '9');
    EXPECT_TRUE(Child<QLineEdit>(&settings, "txtPass")->text().isEmpty());
    EXPECT_EQ(Child<QLabel>(&settings, "Label1")->text(),
              QStringLiteral("Encryption Password  (empty = no encryption)\n"
                             "Password must be at least 6 char in length"));
    EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings.minimumSize(), settings.maximumSize());
    EXPECT_FALSE(settings.windowFlags() & Qt::WindowMinMaxButtonsHint);
}

TEST(frmEncryption, PasswordInForceIsWhatTheBoxShowsOrNone) {
    cZip zip;
    std::string password;
    frmEncryption settings(zip, password);
    settings.show();
    auto *box = Child<QLineEdit>(&settings, "txtPass");
    const std::string typed = "abcdefgh";
    for (size_t n = 1; n <= typed.size(); ++n) {
        QTest::keyClick(box, typed[n - 1]);
        EXPECT_EQ(password, n >= 6 ? typed.substr(0, n) : std::string()) << n;
        EXPECT_EQ(settings.ShowsShortPasswordWarning(), n < 6) << n;
    }
    // Deleting back to five characters leaves no password in force, and warns.
    for (int i = 0; i < 3; ++i) QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(password, std::string());
    EXPECT_TRUE(settings.ShowsShortPasswordWarning());
    auto *hint = Child<QLabel>(&settings, "Label1");
    const QFont font = hint->font();
    EXPECT_NE(hint->palette().color(QPalette::WindowText),
              settings.palette().color(QPalette::WindowText));
    box->clear();
    EXPECT_EQ(password, std::string());
    EXPECT_FALSE(settings.ShowsShortPasswordWarning());
    // The hint keeps its font, fits its two lines, and starts below the frame's border.
    EXPECT_EQ(hint->font(), font);
    EXPECT_GE(hint->height(), hint->heightForWidth(hint->width()));
    EXPECT_GE(hint->y(), hint->parentWidget()->contentsRect().top());
    EXPECT_LE(hint->geometry().bottom(), box->y());
    // Characters count, not bytes: six accented letters are enough.
    box->setText(QString::fromUtf8("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"));
    EXPECT_EQ(password, "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9");
    // Spaces are kept as typed.
    box->setText(QStringLiteral(" pass word "));
    EXPECT_EQ(password, " pass word ");
    settings.close();
}

TEST(frmEncryption, ReopeningShowsTheStoredValues) {
    cZip zip;
    std::string password = "secret99";
    {
        frmEncryption settings(zip, password);
        EXPECT_EQ(Child<QLineEdit>(&settings, "txtPass")->text(), QStringLiteral("secret99"));
        EXPECT_EQ(Child<QLineEdit>(&settings, "txtPass")->echoMode(), QLineEdit::Normal);
        Option(&settings, 0)->click();
        EXPECT_EQ(zip.CompressionLevel(), 0);
        EXPECT_EQ(zip.Options().LevelChar, '0');
        Option(&settings, 1)->click();
        EXPECT_EQ(zip.CompressionLevel(), 3);
        Option(&settings, 2)->click();
        EXPECT_EQ(zip.CompressionLevel(), 6);
        Option(&settings, 0)->click();
    }
    frmEncryption again(zip, password);
    EXPECT_TRUE(Option(&again, 0)->isChecked());
    EXPECT_EQ(password, "secret99");
}

TEST(frmEncryption, OtherLevelSelectsNothingAndWritesNothing) {
    cZip zip;
    zip.CompressionLevel(5);
    std::string password;
    frmEncryption settings(zip, password);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(Option(&settings, i)->isChecked());
    EXPECT_EQ(zip.CompressionLevel(), 5);
}

}  // namespace
