// A bare Qt main window with a menu, a label and a status bar, the size of the game's: what the
// game's start is measured against (scripts/bench-start.sh).
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("Datei"))->addAction(QStringLiteral("Beenden"), &app, &QApplication::quit);
    window.setCentralWidget(new QLabel(QStringLiteral("Blubbi Blubbo")));
    window.statusBar()->showMessage(QStringLiteral("Bereit"));
    window.resize(681, 470);
    window.show();
    return QApplication::exec();
}
