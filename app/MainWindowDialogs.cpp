// The main window's dialogs of its own: made once, and the help, publishing and hiscore server items that open them.
#include "app/MainWindow.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>
#include <optional>

#include "app/AboutBox.h"
#include "app/Addresses.h"
#include "app/GameOverForm.h"
#include "app/GameRecording.h"
#include "app/KeysForm.h"
#include "app/LevelPublishForm.h"
#include "app/QtPlatform.h"
#include "app/WinForm.h"

namespace blubbi {

void TMainWindow::CreateForms() {
    if (WinForm) return;
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    auto shellOpen = [this](const QString& address) { PlatformPtr->ShellOpen(address.toStdString()); };
    WinForm = new TWinForm(dir, this);
    AboutBox = new TAboutBox(dir, shellOpen, this);
    GameOverForm = new TGameOverForm(shellOpen, this);
    connect(GameOverForm, &TGameOverForm::UploadNotice, this,
            [this](const QString& message) { statusBar()->showMessage(QStringLiteral("Hiscore: ") + message, 30000); });
    KeysForm = new TKeysForm(this);
    LevelPublishForm = new TLevelPublishForm(this);
    PlatformPtr->AttachDialogs(GameOverForm, WinForm);
    GameOverForm->SetReplayProvider(
        [this] { return std::optional<QByteArray>(QByteArray::fromStdString(RecordingPtr->Text())); });
}

void TMainWindow::Levelverffentlichen1Click() {
    if (!LevelPublishForm) return;
    bool accepted = false;
    PausedWhile([&] { accepted = LevelPublishForm->exec() == QDialog::Accepted; });
    if (accepted) PlatformPtr->ShellOpen(LevelPublishForm->Target().toStdString());
}

void TMainWindow::Tastenbelegung1Click() {
    if (KeysForm) PausedWhile([this] { KeysForm->exec(); });
}

// Without a configured home page the game's own manual stands in for it.
void TMainWindow::AufzurVelkorHomepage1Click() {
    const QString home = addr::HomePage();
    PlatformPtr->ShellOpen((home.isEmpty() ? addr::Manual().toString() : home).toStdString());
}

void TMainWindow::HiscoreServer1Click() {
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("HiscoreServerForm"));
    dialog.setWindowTitle(QStringLiteral("Hiscore-Server"));
    QString label = QStringLiteral(
        "Adresse des Hiscore-Servers (http:// oder https://).\n"
        "Leer: Die Punkte bleiben in der Hiscore-Liste dieses Computers.");
    if (!qEnvironmentVariable(addr::HiscoreServerEnv).trimmed().isEmpty())
        label += QStringLiteral("\nZurzeit gilt %1=%2.")
                     .arg(QString::fromLatin1(addr::HiscoreServerEnv), qEnvironmentVariable(addr::HiscoreServerEnv));
    dialog.setLabelText(label);
    dialog.setTextValue(addr::StoredHiscoreServer());
    dialog.resize(460, dialog.sizeHint().height());
    PausedWhile([&] {
        while (dialog.exec() == QDialog::Accepted) {
            if (addr::IsServerAddress(dialog.textValue())) {
                addr::SetHiscoreServer(dialog.textValue());
                return;
            }
            QMessageBox::warning(this, QStringLiteral("Hiscore-Server"),
                                 QStringLiteral("Das ist keine Adresse eines Hiscore-Servers. Sie beginnt mit http:// "
                                                "oder https:// und nennt einen Rechner."));
        }
    });
}

void TMainWindow::berdasProgramm1Click() {
    if (AboutBox) PausedWhile([this] { AboutBox->exec(); });
}

}  // namespace blubbi
