// Program start: the application, the main window with the game, the five dialogs, the message loop.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include "app/BitBtn.h"
#include "app/German.h"
#include "app/MainWindow.h"
#include "app/Signals.h"
#include "base/Version.h"

namespace {
// The icon in every size that lies beside the program, for window systems that do not ask the theme.
QIcon ProgramIcon() {
    const QString name = QStringLiteral("de.velkor.BlubbiBlubbo");
    QIcon icon;
    const QDir hicolor(QCoreApplication::applicationDirPath() + QStringLiteral("/icons/hicolor"));
    for (const QString& size : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = hicolor.filePath(size + QStringLiteral("/apps/") + name + QStringLiteral(".png"));
        if (QFile::exists(file)) icon.addFile(file);
    }
    return QIcon::fromTheme(name, icon);
}
}  // namespace

int main(int argc, char** argv) {
    // The sound library would take SIGINT and SIGTERM for quit events of its own that nobody
    // reads; the window closes on them instead (CloseOnSignals).
    qputenv("SDL_NO_SIGNAL_HANDLERS", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Blubbi Blubbo"));
    QApplication::setApplicationVersion(QString::fromStdString(blubbi::ProgramVersion()));
    QGuiApplication::setDesktopFileName(QStringLiteral("de.velkor.BlubbiBlubbo"));
    QApplication::setWindowIcon(ProgramIcon());
    // The game speaks German, so do Qt's own dialogs and messages.
    blubbi::UseGerman();

    // blubbi [FILE.lev]: the level opens as "Level öffnen..." opens it (a desktop's double click).
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Blubbi Blubbo"));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(QStringLiteral("level"), QStringLiteral("A level file (.lev) to open."),
                                  QStringLiteral("[level]"));
    options.process(app);

    blubbi::TMainWindow mainForm;
    mainForm.CreateForms();
    if (!mainForm.PlacedFromSettings()) blubbi::CentreOnScreen(&mainForm);
    mainForm.show();
    mainForm.OfferRecovery();
    if (!options.positionalArguments().isEmpty()) mainForm.OpenLevelFile(options.positionalArguments().constFirst());
    blubbi::CloseOnSignals(&mainForm);
    return QApplication::exec();
}
