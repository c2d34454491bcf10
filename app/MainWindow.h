// TMainWindow: the Qt side of the main window: paint box, status bar, frame timer, menu and dialogs.
#pragma once
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "app/FrameStats.h"

class QAbstractNativeEventFilter;
class QAction;
class QLabel;
class QActionGroup;
class QMenu;
class QSlider;
class QTimer;

namespace blubbi {

class TMainForm;
class TPaintBox;
class TQtPlatform;
class TWinForm;
class TAboutBox;
class TGameOverForm;
class TKeysForm;
class TLevelPublishForm;
class TGamepads;
class TKeyMerge;
struct TEvent;
class TGameRecording;
class TReplayView;
class TGameSession;

class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs the game's start-up (FormCreate).
    // `dataDir`: the game's pictures, sounds and levels; empty: beside the program.
    explicit TMainWindow(QWidget* parent = nullptr, const QString& dataDir = QString());
    ~TMainWindow() override;

    // Creates the five dialogs, once for the whole run, in the program's start order.
    void CreateForms();

    TMainForm& Game() { return *GameForm; }
    TQtPlatform& Platform() { return *PlatformPtr; }

    // A menu command of the game goes to it as an event, by its handler's name.
    void SendMenu(std::string_view name);
    // --- the menu commands only the window has; the game's own are in game/MenuCommands.h ---
    void Beenden1Click();
    void Levelverffentlichen1Click();
    void Tastenbelegung1Click();
    void AufzurVelkorHomepage1Click();
    void berdasProgramm1Click();
    // Asks for the hiscore server's address and remembers it.
    void HiscoreServer1Click();
    void Pause1Click();
    void PauseBeiFokusverlust1Click();
    void Gamepad1Click();
    void AufErstenTastendruckWarten1Click();
    // A replay chosen in a file dialog shown in the window; the replay of the game being played saved
    // where the player says; the speed of the replay shown.
    void Aufzeichnungabspielen1Click();
    void Aufzeichnungspeichernunter1Click();
    void Wiedergabe1x1Click();
    void Wiedergabe2x1Click();
    void Wiedergabe4x1Click();
    // Opens a level file as "Level öffnen..." does once the player chose it (a file named on the
    // command line, a level double-clicked in a file manager).
    void OpenLevelFile(const QString& file);
    // At start-up: work an earlier run kept against a crash is offered back.
    void OfferRecovery();
    // Whether the window may go: the game asks about a changed level (once; a window closed for a
    // signal or after the session's question keeps the work against a crash instead).
    bool MayQuit();
    // The session ends (logout): a changed level is asked about as at quitting, and false when the
    // player keeps it; where nobody may be asked, the work is kept against the end instead.
    bool SessionEnds(bool mayAsk);
    // Shows `file` in the window instead of the game; false with a message when it cannot be read.
    bool PlayReplay(const QString& file);
    // Ends the replay shown, if any; a new game then starts.
    void EndReplay();
    TReplayView* Replay() { return View.get(); }
    TGameRecording& Recording() { return *RecordingPtr; }
    // Shows the game at a whole-number scale and sizes the window to fit it; a zoom whose window
    // would not fit the screen's free area gives way to the largest that does.
    void SetZoom(int scale);
    // Whether the window at `zoom` fits the free area of its screen; the largest zoom up to
    // `wanted` that does (at least 1).
    bool ZoomFits(int zoom) const;
    int FittingZoom(int wanted) const;
    // Greys the zooms that do not fit.
    void UpdateZoomItems();
    // Moves the window so that its frame lies on its screen's free area.
    void KeepOnScreen();
    void Vollbild1Click();
    // Fills the screen with the game (menu bar and status bar hidden) or goes back to a window.
    void SetFullScreen(bool on);
    // Opens the menu bar's first menu for the keyboard (F10, a lone Alt); in full screen the bar
    // shows until the menu is left.
    void OpenMenuBar();
    // The window took its place from the settings, so it need not be centred.
    bool PlacedFromSettings() const { return Placed; }

    // Pauses or resumes the game and shows it. A pause lets go of every key held.
    void SetPaused(bool paused);
    // The game is told that every key held on the keyboard and the pads is up.
    void LetGoOfKeys();
    // A new game waits, paused, for its first game key once its level has slid in (when "Auf ersten
    // Tastendruck warten" is on).
    bool WaitingForFirstKey() const;
    TGameSession& Session() { return *SessionPtr; }
    // Pauses the game while `run` runs (a modal dialog) and puts it back as it was.
    void PausedWhile(const std::function<void()>& run);

    // The check marks as the game's switches say.
    void SyncChecks();
    // Greys the items that have nothing to do now (undo with no step to take back).
    void SyncEnabled();

    TPaintBox* PaintBox1;
    QTimer* Timer1;
    std::array<QIcon, 12> ImageList1;
    QMenu *Datei1, *Optionen1, *Leveleditor1, *Hilfe1, *Vergrerung1;
    QActionGroup* ZoomGroup;
    QAction *NeuesSpiel1, *N1, *Beenden1;
    QAction *Hintergrundmusik1, *Soundeffekte1, *HiscoreServer1, *Pause1, *PauseBeiFokusverlust1, *Gamepad1, *Vollbild1;
    QAction* AufErstenTastendruckWarten1;
    QAction *N7, *Aufzeichnungabspielen1, *Aufzeichnungspeichernunter1, *Wiedergabe1x1, *Wiedergabe2x1, *Wiedergabe4x1;
    QActionGroup* SpeedGroup;
    QAction *Editormodus1, *N3, *NeuesLevel1, *Levelffnen1, *Levelspeichern1, *N4;
    QAction *Blockeinfgen1, *FeindFedereinfgen1, *FeindGeisteinfgen1, *FeindBlauesMnneleinfgen1,
        *FeindRotesMonstereinfgen1;
    QActionGroup* InsertGroup;
    QAction *N6, *Levelverffentlichen1;
    QAction *N8, *Rckgngig1, *Wiederherstellen1;
    QAction* N9;
    QMenu* Zuletztgeffnet1;  // the recently used levels
    QLabel* EditorMark;      // in the status bar while editor mode is on
    QSlider* ReplayBar;      // in the status bar while a replay is shown: where it stands, and a seek
    QAction *Tastenbelegung1, *N5, *AufzurVelkorHomepage1, *N2, *berdasProgramm1;

    TWinForm* WinForm = nullptr;
    TAboutBox* AboutBox = nullptr;
    TGameOverForm* GameOverForm = nullptr;
    TKeysForm* KeysForm = nullptr;
    TLevelPublishForm* LevelPublishForm = nullptr;

    TGamepads& Gamepads() { return *GamepadsPtr; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void BuildViewItems();
    void BuildReplayItems();
    void BuildFirstKeyItem();
    void BuildRecentItems();
    void FillRecentItems();
    // A lone Alt opens the menu bar only where the arrows do not walk: paused, or no game running.
    void MenuKey();
    // The file a replay dialog chose, paused around it; empty when cancelled.
    QString ReplayDialog(bool save);
    void SetReplaySpeed(int factor);
    void AdvanceReplay();
    // Space stops the replay shown and lets it go on; the bar takes it to another frame.
    void PauseReplay();
    void SeekReplay(int frame);
    // The pause and the first-key veil as the session has them now.
    void ShowPause();
    void FormDestroy();
    // Input of one source (the keyboard or a pad) on its way to the game: a key held on several
    // sources goes down with the first and up with the last.
    void SendInput(int source, TEvent event);
    void RestoreSettings();
    // A tick of the frame timer: the game's frame, measured.
    void FrameTick();
    // Writes the frame statistics to the file BLUBBI_FRAME_STATS names, if it names one.
    void WriteFrameStats() const;
    // The menu is left: the keys go back to the game, and in full screen the bar hides again.
    void HideMenuBarWhenLeft();

    std::unique_ptr<TQtPlatform> PlatformPtr;
    std::unique_ptr<TGameRecording> RecordingPtr;
    std::unique_ptr<TMainForm> GameForm;
    std::unique_ptr<TGameSession> SessionPtr;
    std::unique_ptr<TReplayView> View;
    int ReplaySpeed = 1;
    int ReplaySpeedStored = 1;  // as the settings file has it
    bool Destroyed = false;
    bool WorkSettled = false;  // the player answered for the changed level as the session ends
    bool HadFocus = false;     // the window has been the active one: its focus can be lost
    std::unique_ptr<TKeyMerge> Keys;
    std::unique_ptr<QAbstractNativeEventFilter> FocusWatch;  // keys let go when the keyboard leaves
    std::unique_ptr<TGamepads> GamepadsPtr;                  // last: it goes first, before the game it feeds
    bool Placed = false;
    bool Shown = false;  // shown at least once: its place is worth keeping
    bool MaximizedBeforeFull = false;
    TFrameStats Stats;
    TFrameStats::TClock::time_point LastTick{};
};

}  // namespace blubbi
