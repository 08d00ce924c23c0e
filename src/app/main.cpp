#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QString::fromUtf8("Marvik\u00B4s Zip and Unzip utility (Beta)"));
    window.show();
    return app.exec();
}
