// Tesk starts by creating and showing its main window; it reads no command line.
#include "frmMain.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    return app.exec();
}
