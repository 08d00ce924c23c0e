#include "frmEncryption.h"

#include "DialogStyle.h"
#include "Twips.h"
#include "cZip.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>

#include <algorithm>
#include <limits>

frmEncryption::frmEncryption(cZip &zip, std::string &password, QWidget *parent)
    : QWidget(parent), zip_(zip), password_(password) {
    setObjectName(QStringLiteral("frmEncryption"));
    setWindowTitle(QStringLiteral("Settings"));
    dialogstyle::MakeFixedWindow(*this, twips::Size(*this, 4365, 1680));
    setFont(dialogstyle::WindowFont());

    Frame1_ = new QGroupBox(QStringLiteral("Encryption"), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    Frame1_->setGeometry(twips::Rect(*this, 0, 0, 4335, 975));

    txtPass_ = new QLineEdit(Frame1_);
    txtPass_->setObjectName(QStringLiteral("txtPass"));
    txtPass_->setGeometry(twips::Rect(*this, 120, 660, 4095, 255));
    txtPass_->setMaxLength(std::numeric_limits<int>::max());

    Label1_ = new QLabel(QStringLiteral("Encryption Password  (empty = no encryption)"), Frame1_);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setGeometry(twips::Rect(*this, 120, 180, 4035, 435));
    Label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1_->setWordWrap(true);

    Frame2_ = new QGroupBox(QStringLiteral("Compression level"), this);
    Frame2_->setObjectName(QStringLiteral("Frame2"));
    Frame2_->setGeometry(twips::Rect(*this, 0, 1020, 4335, 615));

    static const char *const captions[] = {"Store", "Low", "Medium", "Maximum"};
    static const int lefts[] = {180, 1020, 1740, 2760};
    static const int widths[] = {795, 675, 855, 975};
    for (int i = 0; i < 4; ++i) {
        auto *option = new QRadioButton(QString::fromLatin1(captions[i]), Frame2_);
        option->setObjectName(QStringLiteral("optClevel%1").arg(i));
        option->setGeometry(twips::Rect(*this, lefts[i], 300, widths[i], 195));
        optClevel_[i] = option;
        connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) LevelSelected(i);
        });
    }
    setTabOrder(txtPass_, optClevel_[0]);
    for (int i = 0; i + 1 < 4; ++i) setTabOrder(optClevel_[i], optClevel_[i + 1]);

    // Opening steps.
    Label1_->setText(QStringLiteral("Encryption Password  (empty = no encryption)\n"
                                    "Password must be at least 6 char in length"));
    FitHint();
    connect(txtPass_, &QLineEdit::textChanged, this, &frmEncryption::PasswordEdited);
    txtPass_->setText(QString::fromStdString(password_));
    PasswordEdited(txtPass_->text());
    const int16_t level = zip_.CompressionLevel();
    for (int i = 0; i < 4; ++i)
        if (kLevels[i] == level) optClevel_[i]->setChecked(true);
}

void frmEncryption::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        dialogstyle::CentreOnScreen(*this);
    }
}

void frmEncryption::PasswordEdited(const QString &text) {
    // Characters, not UTF-16 units or bytes.
    const qsizetype length = text.toUcs4().size();
    password_ = length >= kMinPasswordLength ? text.toStdString() : std::string();
    const bool warn = length > 0 && length < kMinPasswordLength;
    if (warn != warning_) {
        warning_ = warn;
        // A palette colour, not a style sheet: clearing a style sheet would also reset the
        // label's font to the application's.
        QPalette palette = Label1_->palette();
        palette.setColor(QPalette::WindowText,
                         warn ? QColor(0xc0, 0, 0) : Frame1_->palette().color(QPalette::WindowText));
        Label1_->setPalette(palette);
    }
}

void frmEncryption::FitHint() {
    // The hint starts below the frame's caption and border and is as tall as its lines;
    // the box, the frames and the window move down or grow when the font needs it.
    Frame1_->ensurePolished();
    const int top = std::max(Label1_->y(), Frame1_->contentsRect().top());
    const int lines = std::max(Label1_->height(), Label1_->heightForWidth(Label1_->width()));
    Label1_->setGeometry(Label1_->x(), top, Label1_->width(), lines);
    const int boxTop = std::max(txtPass_->y(), Label1_->geometry().bottom() + 2);
    const int grow = boxTop - txtPass_->y();
    if (grow <= 0) return;
    txtPass_->move(txtPass_->x(), boxTop);
    Frame1_->resize(Frame1_->width(), Frame1_->height() + grow);
    Frame2_->move(Frame2_->x(), Frame2_->y() + grow);
    setFixedSize(width(), height() + grow);
}

void frmEncryption::LevelSelected(int index) { zip_.CompressionLevel(kLevels[index]); }
