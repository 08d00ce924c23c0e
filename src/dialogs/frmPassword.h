// frmPassword: asks for the password of encrypted entries. Shown modally, one instance per
// request.
//
// Cancelled is true until OK is pressed; Password is the box's text at that moment,
// exactly as typed. Cancel and the close box leave Cancelled true and Password empty.
// Neither button is a default or cancel button: Enter presses a button only when that
// button has the focus, and Esc does nothing.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class frmPassword : public QDialog {
    Q_OBJECT
public:
    explicit frmPassword(QWidget *owner = nullptr);

    QString Password() const { return password_; }
    bool Cancelled() const { return cancelled_; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLineEdit *txtPass_;
    QPushButton *cmdOK_;
    QPushButton *cmdCancel_;
    QString password_;
    bool cancelled_ = true;
};
