// A window and an event loop, nothing else: what any Qt widgets program costs to start.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("minimal"));
    window.setWindowTitle(QStringLiteral("minimal"));
    window.resize(420, 330);
    window.show();
    return app.exec();
}
