// frmEncryption: the settings window. It writes the compression level straight into the
// main window's zip object and keeps the encryption password in the variable the window
// hands it. Not modal; every change takes effect at once; closed with its close box.
//
// Password rule: with 6 or more characters the password in force is exactly the box's
// text; with an empty box, or 1 to 5 characters, there is none. A box of 1 to 5
// characters turns the hint red, so no password is ever in force that the box does not
// show.
#pragma once

#include <QWidget>

#include <array>
#include <string>

class cZip;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class frmEncryption : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinPasswordLength = 6;
    static constexpr std::array<int16_t, 4> kLevels{0, 3, 6, 9};

    // zip and password must outlive the window. The opening steps run here: the hint is
    // set, the box shows password, and the option of the zip object's level is selected
    // (which writes that level back).
    frmEncryption(cZip &zip, std::string &password, QWidget *parent = nullptr);

    // Whether the hint currently warns of a password too short to be used.
    bool ShowsShortPasswordWarning() const { return warning_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FitHint();
    void PasswordEdited(const QString &text);
    void LevelSelected(int index);

    cZip &zip_;
    std::string &password_;
    QGroupBox *Frame1_;
    QLineEdit *txtPass_;
    QLabel *Label1_;
    QGroupBox *Frame2_;
    std::array<QRadioButton *, 4> optClevel_{};
    bool warning_ = false;
    bool centred_ = false;
};
