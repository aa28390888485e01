// The floor for any Qt GUI program: an application object and one shown
// widget, nothing else. Creates READY_FILE once its event loop runs.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    const QString ready = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTimer::singleShot(0, [ready] {
        QFile file(ready);
        if (!ready.isEmpty())
            file.open(QIODevice::WriteOnly);
    });
    return app.exec();
}
