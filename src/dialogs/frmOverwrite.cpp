#include "frmOverwrite.h"

#include "DialogStyle.h"
#include "Twips.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

frmOverwrite::frmOverwrite(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmOverwrite"));
    setWindowTitle(QStringLiteral("File Exists"));
    dialogstyle::MakeFixedToolWindow(*this, twips::Size(*this, 5040, 840));
    setFont(dialogstyle::WindowFont());

    cmdYes_ = new QPushButton(QStringLiteral("&Yes"), this);
    cmdYes_->setObjectName(QStringLiteral("cmdYes"));
    cmdYes_->setGeometry(twips::Rect(*this, 0, 480, 1095, 315));
    cmdYes_->setFont(dialogstyle::Tahoma());

    cmdNo_ = new QPushButton(QStringLiteral("&No"), this);
    cmdNo_->setObjectName(QStringLiteral("cmdNo"));
    cmdNo_->setGeometry(twips::Rect(*this, 1140, 480, 1095, 315));
    cmdNo_->setFont(dialogstyle::Tahoma());
    cmdNo_->setDefault(true);

    cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(twips::Rect(*this, 2280, 480, 1095, 315));

    chkAllFiles_ = new QCheckBox(QStringLiteral("&Apply to All Files"), this);
    chkAllFiles_->setObjectName(QStringLiteral("chkAllFiles"));
    chkAllFiles_->setGeometry(twips::Rect(*this, 3420, 540, 1575, 255));

    // A long question is cut at the label's edge; the window keeps its size.
    lblCaption_ = new QLabel(this);
    lblCaption_->setObjectName(QStringLiteral("lblCaption"));
    lblCaption_->setGeometry(twips::Rect(*this, 0, 0, 4995, 375));

    setTabOrder(cmdYes_, cmdNo_);
    setTabOrder(cmdNo_, cmdCancel_);
    setTabOrder(cmdCancel_, chkAllFiles_);
    cmdYes_->setFocus();

    connect(cmdYes_, &QPushButton::clicked, this,
            [this] { Answer(kYes, chkAllFiles_->isChecked()); });
    connect(cmdNo_, &QPushButton::clicked, this,
            [this] { Answer(kNo, chkAllFiles_->isChecked()); });
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { Answer(kCancel, true); });
}

void frmOverwrite::showEvent(QShowEvent *event) {
    if (!loaded_) {
        loaded_ = true;
        lblCaption_->setText(caption_);
    }
    QDialog::showEvent(event);
}

void frmOverwrite::keyPressEvent(QKeyEvent *event) {
    // Esc is the Cancel button's, not a plain close: Cancel also means "all files".
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmOverwrite::Answer(int response, bool applyToAll) {
    response_ = response;
    applyToAll_ = applyToAll;
    done(response == kCancel ? QDialog::Rejected : QDialog::Accepted);
}
