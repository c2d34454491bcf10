// The Qt platform: every machine service the game asks for, on the window thread.
#include "app/QtPlatform.h"

#include <time.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/BitBtn.h"
#include "app/GameOverForm.h"
#include "app/German.h"
#include "app/PaintBox.h"
#include "app/WinForm.h"
#include "base/Files.h"
#include "game/MainForm.h"
#include "gfx/BildIO.h"
#include "gfx/Screen.h"
#include "level/LevelCodec.h"
#include "level/RecoveryFile.h"
#include "platform/session/GameSession.h"
#include "sound/MediaPlayer.h"

namespace blubbi {

TQtPlatform::TQtPlatform(TPaintBox* paintBox, QWidget* window)
    : PaintBox(paintBox),
      Window(window),
      ScreenPtr(std::make_unique<TScreen>(TPaintBox::kStartWidth, TPaintBox::kStartHeight)),
      Media(std::make_unique<TMediaPlayer>()) {
    for (QTimer*& timer : Timers) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(static_cast<int>(kOneShotIntervalMs));
    }
    Timer(TOneShotTimer::Timer2)->setObjectName(QStringLiteral("Timer2"));
    Timer(TOneShotTimer::Timer3)->setObjectName(QStringLiteral("Timer3"));
    connect(Timer(TOneShotTimer::Timer2), &QTimer::timeout, this, [this] { Send(MakeEvent(TEventKind::Timer2)); });
    connect(Timer(TOneShotTimer::Timer3), &QTimer::timeout, this, [this] { Send(MakeEvent(TEventKind::Timer3)); });
    RecoveryTimer = new QTimer(this);
    RecoveryTimer->setObjectName(QStringLiteral("RecoveryTimer"));
    RecoveryTimer->setSingleShot(true);
    connect(RecoveryTimer, &QTimer::timeout, this, [this] {
        // Never inside an event (a dialog's loop within one): a moment later instead.
        if (Dispatching > 0)
            RecoveryTimer->start(kRecoveryDelayMs / 4);
        else if (Game)
            Game->KeepRecovery();
    });
}

TQtPlatform::~TQtPlatform() = default;

void TQtPlatform::Send(TEvent event) {
    if (!Game) return;
    event.Clock = GetTickCount();
    ++Dispatching;
    if (Sink)
        Sink(event);
    else
        Dispatch(*Game, event);
    --Dispatching;
}

void TQtPlatform::StopTimers() {
    for (QTimer* timer : Timers) timer->stop();
    RecoveryTimer->stop();
    Game = nullptr;
}

namespace {
// The machine's tick in ms; wraps at 2^32 like the system tick counter the rules are written for.
uint32_t MachineTick() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
}  // namespace

uint32_t TQtPlatform::GetTickCount() { return (Frozen > 0 ? PausedAt : MachineTick()) - PausedMs; }

uint64_t TQtPlatform::RandomSeed() {
    const auto wall = std::chrono::system_clock::now().time_since_epoch();
    const auto mono = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()) ^
           (static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(mono).count()) << 17);
}

std::string TQtPlatform::ProgramDir() {
    const QString dir = DataDir.isEmpty() ? QCoreApplication::applicationDirPath() : DataDir;
    return QFile::encodeName(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/')).toStdString();
}

TDib TQtPlatform::OpenDib(const std::string& fileName) { return ::blubbi::OpenDib(fileName); }

int TQtPlatform::PaintBoxWidth() { return PaintBox->GameWidth(); }
int TQtPlatform::PaintBoxHeight() { return PaintBox->GameHeight(); }

namespace {
using TClock = std::chrono::steady_clock;

// Adds the time from its making to its end to a sum.
class TTiming {
public:
    explicit TTiming(double& sum) : Sum(sum) {}
    ~TTiming() { Sum += std::chrono::duration<double, std::milli>(TClock::now() - Start).count(); }
    TTiming(const TTiming&) = delete;
    TTiming& operator=(const TTiming&) = delete;

private:
    double& Sum;
    TClock::time_point Start = TClock::now();
};

// A picture of the screen whose drawing time counts as the frame's composition.
class TTimedPicture : public TPicture {
public:
    TTimedPicture(std::unique_ptr<TPicture> inner, double& sum) : Picture(std::move(inner)), Sum(sum) {}
    const TPicture& Inner() const { return *Picture; }

    int Width() const override { return Picture->Width(); }
    int Height() const override { return Picture->Height(); }
    void Rectangle(int x1, int y1, int x2, int y2, TColor pen, TColor brush) override {
        const TTiming t(Sum);
        Picture->Rectangle(x1, y1, x2, y2, pen, brush);
    }
    void Ellipse(int x1, int y1, int x2, int y2, TColor pen, TColor brush, bool hollow) override {
        const TTiming t(Sum);
        Picture->Ellipse(x1, y1, x2, y2, pen, brush, hollow);
    }
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, TColor pen) override {
        const TTiming t(Sum);
        Picture->Arc(x1, y1, x2, y2, x3, y3, x4, y4, pen);
    }
    void TextOut(int x, int y, const std::string& text, TColor color) override {
        const TTiming t(Sum);
        Picture->TextOut(x, y, text, color);
    }
    void DrawSprite(const TDib& sheet, int x, int y, bool mirrored, int frame, int frameCount, bool inBubble) override {
        const TTiming t(Sum);
        Picture->DrawSprite(sheet, x, y, mirrored, frame, frameCount, inBubble);
    }
    void DrawSpriteRow(const TDib& sheet, int x, int y, int frameCount, int frame) override {
        const TTiming t(Sum);
        Picture->DrawSpriteRow(sheet, x, y, frameCount, frame);
    }
    void StretchDrawDib(int x, int y, int destWidth, int destHeight, const TDib& image, int srcX, int srcY,
                        int srcWidth, int srcHeight) override {
        const TTiming t(Sum);
        Picture->StretchDrawDib(x, y, destWidth, destHeight, image, srcX, srcY, srcWidth, srcHeight);
    }

private:
    std::unique_ptr<TPicture> Picture;
    double& Sum;
};
}  // namespace

std::unique_ptr<TPicture> TQtPlatform::NewPicture(int width, int height) {
    const TTiming t(ComposeMs);
    return std::make_unique<TTimedPicture>(ScreenPtr->NewPicture(width, height), ComposeMs);
}

void TQtPlatform::Present(const TPicture& picture, int x, int y) {
    const TTiming t(CopyMs);
    const auto* timed = dynamic_cast<const TTimedPicture*>(&picture);
    ScreenPtr->Present(timed ? timed->Inner() : picture, x, y);
    PaintBox->Refresh();
}

void TQtPlatform::PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) {
    const TTiming t(ComposeMs);
    ScreenPtr->Rectangle(x1, y1, x2, y2, color);
    PaintBox->Refresh();
}

double TQtPlatform::TakeComposeMs() { return std::exchange(ComposeMs, 0.0); }
double TQtPlatform::TakeCopyMs() { return std::exchange(CopyMs, 0.0); }

std::string TQtPlatform::SendMediaCommand(const std::string& command) { return Media->Send(command); }

void TQtPlatform::SetTimerEnabled(TOneShotTimer timer, bool enabled) {
    if (Frozen > 0) {  // it starts counting when the game goes on
        TimerLeft[static_cast<size_t>(timer)] = enabled ? static_cast<int>(kOneShotIntervalMs) : -1;
        return;
    }
    QTimer* t = Timer(timer);
    const auto i = static_cast<size_t>(timer);
    if (FullInterval[i] > 0) {  // a timer resumed with what it had left counts its whole time again
        t->setInterval(FullInterval[i]);
        FullInterval[i] = 0;
    }
    if (enabled)
        t->start();
    else
        t->stop();
}

void TQtPlatform::SetClockPaused(bool paused) { Freeze(paused); }

void TQtPlatform::Hold(bool on) {
    Holds += on ? 1 : -1;
    Freeze(on);
}

void TQtPlatform::Freeze(bool on) {
    Frozen += on ? 1 : -1;
    if (on && Frozen == 1) {
        PausedAt = MachineTick();
        for (size_t i = 0; i < kOneShotTimerCount; ++i) {
            TimerLeft[i] = Timers[i]->isActive() ? std::max(0, Timers[i]->remainingTime()) : -1;
            if (FullInterval[i] == 0) FullInterval[i] = Timers[i]->interval();
            Timers[i]->stop();
        }
        return;
    }
    if (on || Frozen != 0) return;
    PausedMs += MachineTick() - PausedAt;
    for (size_t i = 0; i < kOneShotTimerCount; ++i)
        if (TimerLeft[i] >= 0) {
            Timers[i]->start(TimerLeft[i]);
        } else if (FullInterval[i] > 0) {
            Timers[i]->setInterval(FullInterval[i]);
            FullInterval[i] = 0;
        }
}

namespace {
// The game stands still while a dialog it asked for is open.
class THeld {
public:
    explicit THeld(TQtPlatform& platform) : Platform(platform) { Platform.Hold(true); }
    ~THeld() { Platform.Hold(false); }
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;

private:
    TQtPlatform& Platform;
};
}  // namespace

TModalResult TQtPlatform::ShowGameOverDialog(const std::string& points) {
    if (OnGameOver) OnGameOver(points);
    if (Session) return Session->GameOver(points);
    return GameOverDialog({points, Game ? Game->LevelNo : 0, 0, {}});
}

TModalResult TQtPlatform::GameOverDialog(const TGameOverMoment& moment) {
    if (!GameOverForm) return TModalResult::Cancel;
    GameOverForm->SetPoints(QString::fromStdString(moment.Points), moment.Level);
    GameOverForm->IgnoreHeld(moment.KeysDown);
    ++DialogsShown;
    const THeld held(*this);
    return GameOverForm->exec() == mrOk ? TModalResult::Ok : TModalResult::Cancel;
}

void TQtPlatform::ShowWinDialog() {
    if (Session)
        Session->Win();
    else
        WinDialog();
}

void TQtPlatform::WinDialog() {
    ++DialogsShown;
    const THeld held(*this);
    if (WinForm) WinForm->exec();
}

void TQtPlatform::ShowErrorMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString(), QString::fromStdString(text), QMessageBox::Ok, Window);
    box.setTextFormat(Qt::PlainText);  // the text may carry a file name
    ++DialogsShown;
    const THeld held(*this);
    box.exec();
}

bool TQtPlatform::LevelDialog(bool save, std::string& fileName) {
    QFileDialog dialog(Window, save ? QStringLiteral("Speichern unter") : QStringLiteral("Öffnen"), LevelFolder,
                       QStringLiteral("Leveldateien (*.lev)"));
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setDefaultSuffix(QStringLiteral("lev"));
    PrepareLevelDialog(dialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    ++DialogsShown;
    bool accepted = false;
    {
        const THeld held(*this);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted || dialog.selectedFiles().isEmpty()) return false;
    fileName = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
    return true;
}

bool TQtPlatform::OpenLevelDialog(std::string& fileName) {
    if (!ChosenLevel.isEmpty()) {
        fileName = QFile::encodeName(std::exchange(ChosenLevel, QString())).toStdString();
        return true;
    }
    return LevelDialog(false, fileName);
}
bool TQtPlatform::SaveLevelDialog(std::string& fileName) { return LevelDialog(true, fileName); }

bool TQtPlatform::FileExists(const std::string& fileName) {
    const QFileInfo info(QFile::decodeName(fileName.c_str()));
    return info.exists() && info.isFile();
}

TSaveChoice TQtPlatform::AskSaveChanges(const std::string& levelName) {
    const QString name = levelName.empty() ? QStringLiteral("Unbenannt") : QString::fromStdString(levelName);
    // The title names the level too: it is what a window list shows.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Level „%1“ geändert").arg(name),
                    QStringLiteral("Das Level „%1“ wurde geändert. Änderungen speichern?").arg(name),
                    QMessageBox::NoButton, Window);
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* save = box.addButton(QStringLiteral("&Speichern"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("&Verwerfen"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("&Abbrechen"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    ++DialogsShown;
    const THeld held(*this);
    box.exec();
    if (box.clickedButton() == save) return TSaveChoice::Save;
    if (box.clickedButton() == discard) return TSaveChoice::Discard;
    return TSaveChoice::Cancel;
}

QString TQtPlatform::RecoveryFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/wiederherstellung.lev");
}

void TQtPlatform::RecoveryDue() {
    if (!RecoveryTimer->isActive()) RecoveryTimer->start(kRecoveryDelayMs);
}

void TQtPlatform::WriteRecovery(const std::vector<uint8_t>& level, const std::string& name) {
    const QString file = RecoveryFile();
    QDir().mkpath(QFileInfo(file).path());
    const std::vector<uint8_t> bytes = EncodeRecovery(
        {level, name, QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy, HH:mm:ss")).toStdString()});
    std::string error;
    if (!WriteFileSafely(QFile::encodeName(file).toStdString(), bytes.data(), bytes.size(), error))
        qWarning("%s cannot be written: %s", qPrintable(file), error.c_str());
}

void TQtPlatform::RemoveRecovery() { QFile::remove(RecoveryFile()); }

std::optional<TRecovery> TQtPlatform::ReadRecovery() {
    std::string error;
    const auto bytes =
        ReadRegularFile(QFile::encodeName(RecoveryFile()).toStdString(), kLevelMaxFileBytes + 4096, error);
    return bytes ? DecodeRecovery(*bytes) : std::nullopt;
}

bool TQtPlatform::AskRestoreRecovery(const TRecovery& kept) {
    const QString name = kept.Name.empty() ? QStringLiteral("Unbenannt") : QString::fromStdString(kept.Name);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Level „%1“ wiederherstellen").arg(name),
                    QStringLiteral("Das Level „%1“ wurde nicht gespeichert. Die Arbeit vom %2 ist gesichert. "
                                   "Wiederherstellen?")
                        .arg(name, QString::fromStdString(kept.Time)),
                    QMessageBox::NoButton, Window);
    box.setObjectName(QStringLiteral("RestoreBox"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* restore = box.addButton(QStringLiteral("&Wiederherstellen"), QMessageBox::AcceptRole);
    QPushButton* drop = box.addButton(QStringLiteral("&Verwerfen"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.setEscapeButton(drop);
    ++DialogsShown;
    const THeld held(*this);
    box.exec();
    return box.clickedButton() == restore;
}

void TQtPlatform::ShellOpen(const std::string& address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));  // a failure is not reported
}

}  // namespace blubbi
