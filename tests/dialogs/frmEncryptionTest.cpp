#include "QtTestSupport.h"
#include "cZip.h"
#include "frmEncryption.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using qtsupport::Child;

// Opening selects the option of the level in force, a fresh object's 9 included, and
// writes it back; another level selects nothing and stays. The stored password shows.
TEST(frmEncryption, ValuesInForceLevelsAndPassword) {
    for (int level : {-1, 0, 3, 5, 6, 9}) {
        cZip zip;
        if (level >= 0) zip.CompressionLevel(static_cast<int16_t>(level));
        const int inForce = level < 0 ? 9 : level;
        EXPECT_EQ(zip.Options().LevelChar, '0' + inForce);
        std::string password = level < 0 ? "" : "secret99";
        frmEncryption settings(zip, password);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Child<QRadioButton>(&settings, "optClevel" + QString::number(i))->isChecked(),
                      frmEncryption::kLevels[i] == inForce);
        EXPECT_EQ(zip.CompressionLevel(), inForce);
        EXPECT_EQ(zip.Options().LevelChar, '0' + inForce);
        auto *box = Child<QLineEdit>(&settings, "txtPass");
        EXPECT_EQ(box->text().toStdString(), password);
        EXPECT_EQ(box->echoMode(), QLineEdit::Normal);
    }
    cZip zip;
    std::string password;
    frmEncryption settings(zip, password);
    for (int i : {0, 1, 2, 3, 0}) {
        Child<QRadioButton>(&settings, "optClevel" + QString::number(i))->click();
        EXPECT_EQ(zip.CompressionLevel(), frmEncryption::kLevels[i]);
        EXPECT_EQ(zip.Options().LevelChar, '0' + frmEncryption::kLevels[i]);
    }
    // The password in force is what the box shows, or none.
    settings.show();
    auto *box = Child<QLineEdit>(&settings, "txtPass");
    auto *hint = Child<QLabel>(&settings, "Label1");
    EXPECT_EQ(hint->text(), QStringLiteral("Encryption Password  (empty = no encryption)\n"
                                           "Password must be at least 6 char in length"));
    const QFont font = hint->font();
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
    EXPECT_NE(hint->palette().color(QPalette::WindowText),
              settings.palette().color(QPalette::WindowText));
    box->clear();
    EXPECT_FALSE(settings.ShowsShortPasswordWarning());
    // The hint keeps its font, fits its two lines, and starts below the frame's border.
    EXPECT_EQ(hint->font(), font);
    EXPECT_GE(hint->height(), hint->heightForWidth(hint->width()));
    EXPECT_GE(hint->y(), hint->parentWidget()->contentsRect().top());
    EXPECT_LE(hint->geometry().bottom(), box->y());
    // Characters count, not bytes; spaces are kept as typed.
    for (const char *text : {"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", " pass word "}) {
        box->setText(QString::fromUtf8(text));
        EXPECT_EQ(password, text);
    }
    settings.close();
}

