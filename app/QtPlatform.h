// TQtPlatform: the game's platform on Qt: clock, pictures on the paint box, media, timers, dialogs, shell.
#pragma once
#include <QFile>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "game/Events.h"
#include "game/Platform.h"

class QTimer;
class QWidget;

namespace blubbi {

class TMainForm;
class TPaintBox;
class TScreen;
class TMediaPlayer;
class TGameOverForm;
class TWinForm;
class TGameSession;
struct TGameOverMoment;

class TQtPlatform : public QObject, public TPlatform {
    Q_OBJECT
public:
    // `paintBox` shows the pictures and answers the paint box's size; `window` parents dialogs.
    TQtPlatform(TPaintBox* paintBox, QWidget* window);
    ~TQtPlatform() override;

    // The game whose Timer2Timer / Timer3Timer the one-shot timers call.
    void AttachGame(TMainForm* game) { Game = game; }
    // Every event of the window reaches the game here, with the clock read once for it. A
    // recorder set as Sink gets it instead and passes it on.
    void Send(TEvent event);
    std::function<void(const TEvent&)> Sink;
    // The folder of the game's pictures, sounds and levels; empty: beside the program.
    QString DataDir;
    // Called with the points as each game-over dialog opens.
    std::function<void(const std::string&)> OnGameOver;
    void AttachDialogs(TGameOverForm* gameOver, TWinForm* win) {
        GameOverForm = gameOver;
        WinForm = win;
    }
    // The session that answers the game's game-over and win through the dialogs below.
    void AttachSession(TGameSession* session) { Session = session; }
    TModalResult GameOverDialog(const TGameOverMoment& moment);
    void WinDialog();
    TScreen& Screen() { return *ScreenPtr; }
    QTimer* Timer(TOneShotTimer timer) const { return Timers[static_cast<size_t>(timer)]; }
    // Stops the one-shot timers for good (shutdown).
    void StopTimers();

    uint32_t GetTickCount() override;
    uint64_t RandomSeed() override;
    std::string ProgramDir() override;
    TDib OpenDib(const std::string& fileName) override;
    int PaintBoxWidth() override;
    int PaintBoxHeight() override;
    std::unique_ptr<TPicture> NewPicture(int width, int height) override;
    void Present(const TPicture& picture, int x, int y) override;
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override;
    std::string SendMediaCommand(const std::string& command) override;
    void SetTimerEnabled(TOneShotTimer timer, bool enabled) override;
    void SetClockPaused(bool paused) override;
    TModalResult ShowGameOverDialog(const std::string& points) override;
    void ShowWinDialog() override;
    void ShowErrorMessage(const std::string& text) override;
    void SetLevelDialogFolder(const std::string& folder) override { LevelFolder = QString::fromStdString(folder); }
    bool OpenLevelDialog(std::string& fileName) override;
    bool SaveLevelDialog(std::string& fileName) override;
    bool FileExists(const std::string& fileName) override;
    TSaveChoice AskSaveChanges(const std::string& levelName) override;
    void LevelFileUsed(const std::string& fileName) override {
        if (OnLevelFileUsed) OnLevelFileUsed(QFile::decodeName(fileName.c_str()));
    }
    std::function<void(const QString&)> OnLevelFileUsed;
    // Work kept against a crash: written by the game kRecoveryDelayMs after a change at the latest,
    // between events, into RecoveryFile().
    static constexpr int kRecoveryDelayMs = 2000;
    static QString RecoveryFile();
    void RecoveryDue() override;
    void WriteRecovery(const std::vector<uint8_t>& level, const std::string& name) override;
    void RemoveRecovery() override;
    std::optional<TRecovery> ReadRecovery() override;
    bool AskRestoreRecovery(const TRecovery& kept) override;
    // A shell "open" of a web or mail address for the window's help items and dialogs (the core
    // never opens one); a failure is silent.
    void ShellOpen(const std::string& address);
    void NewGameStarts() override {
        if (OnNewGame) OnNewGame();
    }
    // Called as a new game starts (the menu, the game-over dialog), from inside the event.
    std::function<void()> OnNewGame;

    QString LevelDialogFolder() const { return LevelFolder; }
    // The next "Level öffnen..." takes this file as if the player had chosen it in the dialog.
    void ChooseLevelFile(const QString& file) { ChosenLevel = file; }
    // The time spent drawing into the game's pictures and copying them onto the paint box since
    // the last call, in milliseconds; both read as 0 afterwards.
    double TakeComposeMs();
    double TakeCopyMs();
    // How many dialogs the game has shown so far: while one of them is open inside a tick, the
    // frame timer stands still by design.
    int64_t Dialogs() const { return DialogsShown; }
    // Holds the game while a modal dialog or a menu is open: no frame tick reaches it, its clock
    // and its one-shot timers stand still; the game's own pause is not touched. Holds nest.
    void Hold(bool on);
    bool Held() const { return Holds > 0; }

private:
    bool LevelDialog(bool save, std::string& fileName);
    // Stops or restarts the clock and the one-shot timers; the game's pause and the holds share it.
    void Freeze(bool on);

    TPaintBox* PaintBox;
    QWidget* Window;
    std::unique_ptr<TScreen> ScreenPtr;
    std::unique_ptr<TMediaPlayer> Media;
    std::array<QTimer*, kOneShotTimerCount> Timers{};
    TMainForm* Game = nullptr;
    TGameSession* Session = nullptr;
    QTimer* RecoveryTimer;
    int Dispatching = 0;  // events running now
    TGameOverForm* GameOverForm = nullptr;
    TWinForm* WinForm = nullptr;
    QString LevelFolder;
    QString ChosenLevel;
    double ComposeMs = 0, CopyMs = 0;
    int64_t DialogsShown = 0;
    // The pause: the machine's tick when it began, the time spent paused before it, and
    // what each one-shot timer still had to run (below 0: not running).
    int Frozen = 0;  // the game's pause and the holds
    int Holds = 0;
    uint32_t PausedAt = 0;
    uint32_t PausedMs = 0;
    std::array<int, kOneShotTimerCount> TimerLeft{};
    std::array<int, kOneShotTimerCount> FullInterval{};  // while one runs on what it had left
};

}  // namespace blubbi
