#include "frmPassword.h"

#include "DialogStyle.h"
#include "Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

frmPassword::frmPassword(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmPassword"));
    setWindowTitle(QStringLiteral("Enter password for encrypted file(s)"));
    dialogstyle::MakeFixedToolWindow(*this, twips::Size(*this, 3285, 765));
    setFont(dialogstyle::WindowFont());

    txtPass_ = new QLineEdit(this);
    txtPass_->setObjectName(QStringLiteral("txtPass"));
    txtPass_->setGeometry(twips::Rect(*this, 0, 60, 3255, 255));
    txtPass_->setEchoMode(QLineEdit::Password);
    txtPass_->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPass_->setMaxLength(std::numeric_limits<int>::max());

    cmdOK_ = new QPushButton(QStringLiteral("Ok"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(twips::Rect(*this, 2400, 420, 855, 315));

    cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(twips::Rect(*this, 1440, 420, 855, 315));

    // Without auto-default no button ever becomes the dialog's default, so Enter in the
    // text box presses nothing; keyPressEvent lets Enter press a focused button.
    cmdOK_->setAutoDefault(false);
    cmdCancel_->setAutoDefault(false);

    setTabOrder(txtPass_, cmdOK_);
    setTabOrder(cmdOK_, cmdCancel_);
    txtPass_->setFocus();

    connect(cmdOK_, &QPushButton::clicked, this, [this] {
        password_ = txtPass_->text();
        cancelled_ = false;
        accept();
    });
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmPassword::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the owner.
    dialogstyle::CentreOnScreen(*this);
}

void frmPassword::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) button->click();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
