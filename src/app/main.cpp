#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovera"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tovera"));
    window.show();
    return app.exec();
}
