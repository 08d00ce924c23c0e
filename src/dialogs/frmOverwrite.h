// frmOverwrite: asks whether an existing file is to be replaced, and whether the answer
// holds for all further files. Shown modally, one instance per question.
//
// Response: 2 (cancel) from creation, 6 after Yes, 7 after No. ApplyToAll: false until a
// button is pressed; after Yes or No whether the box was ticked; after Cancel true. The
// close box leaves 2 and false. Enter presses the focused button, else No; Esc presses
// Cancel wherever the focus is.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

class frmOverwrite : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCancel = 2;
    static constexpr int kYes = 6;
    static constexpr int kNo = 7;

    explicit frmOverwrite(QWidget *owner = nullptr);

    // Shown by the label when the window is first shown; later assignments change nothing
    // on screen.
    void TheCaption(const QString &sCaption) { caption_ = sCaption; }
    int Response() const { return response_; }
    bool ApplyToAll() const { return applyToAll_; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Answer(int response, bool applyToAll);

    QPushButton *cmdYes_;
    QPushButton *cmdNo_;
    QPushButton *cmdCancel_;
    QCheckBox *chkAllFiles_;
    QLabel *lblCaption_;
    QString caption_;
    bool loaded_ = false;
    int response_ = kCancel;
    bool applyToAll_ = false;
};
