// Pieces of frmMain shared by its source files.
#pragma once

#include "StatusLine.h"
#include "frmMain.h"

#include <QApplication>
#include <QMenuBar>

// Adapters from the engine objects' listener interfaces to the window's handlers.
class frmMain::UnzipListener : public cUnzipEvents {
public:
    explicit UnzipListener(frmMain &window) : window_(window) {}
    void OverwritePrompt(const std::string &sFile, int32_t &eResponse) override {
        window_.OverwritePrompt(sFile, eResponse);
    }
    void PasswordRequest(std::string &sPassword, bool &bCancel) override {
        window_.UnzipPasswordRequest(sPassword, bCancel);
    }
    void Progress(int32_t, const std::string &sMsg) override { window_.ShowProgress(sMsg); }

private:
    frmMain &window_;
};

class frmMain::ZipListener : public cZipEvents {
public:
    explicit ZipListener(frmMain &window) : window_(window) {}
    void PasswordRequest(std::string &sPassword, int32_t, bool, bool &) override {
        window_.ZipPasswordRequest(sPassword);
    }
    void Progress(int32_t, const std::string &sMsg) override { window_.ShowProgress(sMsg); }

private:
    frmMain &window_;
};

// While alive: the menus are disabled and the window refuses to close, because pending
// events run during the work and must not start a second command. Optionally shows the
// busy pointer.
class frmMain::EngineBusy {
public:
    enum Pointer { kKeepPointer, kBusyPointer };
    EngineBusy(frmMain &window, Pointer pointer) : window_(window), pointer_(pointer) {
        window_.busy_ = true;
        window_.menuBar()->setEnabled(false);
        if (pointer_ == kBusyPointer) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~EngineBusy() {
        window_.status_->Flush();  // the last message stays in view once the work ends
        if (pointer_ == kBusyPointer) QApplication::restoreOverrideCursor();
        window_.menuBar()->setEnabled(true);
        window_.busy_ = false;
    }
    EngineBusy(const EngineBusy &) = delete;
    EngineBusy &operator=(const EngineBusy &) = delete;

private:
    frmMain &window_;
    Pointer pointer_;
};
