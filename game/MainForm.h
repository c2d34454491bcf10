// TMainForm: the whole game state of the main window and every handler that works on it.
// Each group of methods lives in the file named beside it.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "game/Dib.h"
#include "game/DynaArray.h"
#include "game/EditHistory.h"
#include "game/Geometry.h"
#include "game/Platform.h"
#include "game/Random.h"
#include "game/Record.h"
#include "game/Records.h"

namespace blubbi {

struct TLevelData;

// Key codes of the arrow keys and space.
constexpr int32_t VK_SPACE = 32, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39;
// The keys the game is played with.
constexpr std::array<int32_t, 4> kGameKeys = {VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE};
constexpr bool IsGameKey(int32_t key) { return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_SPACE; }

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Sheet slots: indexes of Sheets.
enum : size_t {
    kSlotItem = 0,
    kSlotLeben,
    kSlotFeind4,
    kSlotFeind3,
    kSlotFeind2,
    kSlotFeind1,
    kSlotLaufe2,
    kSlotFigur1,
    kSlotFigur2,
    kSlotStein1,
    kSheetCount
};

// The sounds, by their aliases; each indexes the cue table (Sounds.cpp). The effects go
// through PlayCue, the music through its own switch and keep-alive.
enum class TCue { Blasen, Platzen, Springen, Feder, Sammeln, Getroffen, Musik };
constexpr size_t kCueCount = static_cast<size_t>(TCue::Musik) + 1;

class TMainForm : public TGameRecord {
public:
    explicit TMainForm(TPlatform& platform);
    ~TMainForm();
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // --- start-up, shutdown, frame (Frame.cpp) ---
    void FormCreate();
    void FormDestroy();
    void Timer1Timer();
    void PaintBox1Paint();
    // Stops or restarts the game: no frame runs, the game's clock and its one-shot timers
    // stand still and the music holds while paused.
    void SetPaused(bool paused);
    void PauseToggle() { SetPaused(!Paused); }

    // --- player (Player.cpp) ---
    void FormKeyDown(int32_t key);
    void FormKeyUp(int32_t key);
    void InputPhase();
    void VerticalMovement();
    void DrawPlayer();
    // --- hits and lives (Hits.cpp); false when the frame must end (game over ran) ---
    bool PlayerPhase();
    bool Protected();
    // --- actors (Items.cpp, Enemies.cpp, Bubbles.cpp) ---
    void ItemPhase();
    void EnemyPhase();
    // Every free enemy as it stands, without a step.
    void DrawEnemies();
    void BubblePhase();

    // --- composition and presentation (Compose.cpp) ---
    void NewBackBuffer();
    // Centres the play field in a paint box of this size.
    void PlacePlayField(int32_t boxWidth, int32_t boxHeight);
    void DrawGrid();
    void DrawStatus(bool withLevelNo = true);
    // The picture of a level as loaded, with no game step: grid, enemies, player and status
    // (a load leaves no items and no bubbles). The level number is left out unless asked for.
    void ComposeLoadedLevel(bool withLevelNo);
    void PresentPicture();

    // --- sound (Sounds.cpp) ---
    void OpenSounds();
    void PlayCue(TCue cue);
    void MusicKeepAlive();
    void CloseSounds();
    void PauseMusic(bool paused);
    void Hintergrundmusik1Click();
    void Soundeffekte1Click();

    // --- level files (level/LevelFile.cpp) ---
    // False when the file could not be read or is no level: the level in memory stays.
    bool OpenLevel(const std::string& fileName);
    // Puts a decoded level into the game and runs a frame, as a load does.
    void ApplyLevel(const TLevelData& level);
    // Writes the level safely; false (after telling the user) when it could not be saved.
    bool SaveLevel(const std::string& fileName);
    // The level as it stands, as its file would hold it.
    std::vector<uint8_t> LevelBytes() const;

    // --- unsaved work (level/Recovery.cpp) ---
    // Before the edited level is dropped: a changed one brings the question whether to save it. False
    // when the player keeps it (cancelled); a save that fails or is cancelled asks again.
    bool MayDropLevel();
    // Keeps the changed level against a crash, or forgets what was kept once it is unchanged; the
    // platform calls it between events a little after RecoveryDue.
    void KeepRecovery();
    // At start-up: offers work an earlier run kept; taken, it is the edited, changed level.
    void OfferRecovery();

    // --- editor (level/Editor.cpp) ---
    void PaintBox1MouseDown(TMouseButton button, int32_t x, int32_t y);
    void PaintBox1MouseMove(int32_t x, int32_t y);
    void PaintBox1MouseUp(TMouseButton button, int32_t x, int32_t y);
    void ForgetEnemy(int32_t index);
    void Editormodus1Click();
    void NewBtnClick();
    void NeuesLevel1Click() { NewBtnClick(); }
    void OpenBtnClick();
    void SaveBtnClick();
    void Levelffnen1Click() { OpenBtnClick(); }
    void Levelspeichern1Click() { SaveBtnClick(); }
    void SetInsertKind(int32_t kind);
    void Blockeinfgen1Click() { SetInsertKind(0); }
    void FeindFedereinfgen1Click() { SetInsertKind(1); }
    void FeindGeisteinfgen1Click() { SetInsertKind(2); }
    void FeindBlauesMnneleinfgen1Click() { SetInsertKind(3); }
    void FeindRotesMonstereinfgen1Click() { SetInsertKind(4); }
    // Takes back the editor's last step, or brings back the last one taken back.
    void Rckgngig1Click();
    void Wiederherstellen1Click();
    // The level differs from the one last loaded or saved.
    bool LevelChanged() const { return History.Changed(); }
    void SetCell(size_t index, uint8_t value);  // a cell the editor paints, into the open step
    void CloseEditStep();
    void PushEditStep(TEditStep step);
    void InsertEnemy(int32_t index, const TEnemy& record);
    void ApplyEditStep(const TEditStep& step, bool forward);

    // --- progression (level/Progression.cpp) ---
    static std::string leadzero(const std::string& s, size_t width);
    std::string LevelFileName(int32_t levelNo) const;
    void checkendeNow();
    // Loads a level that comes in with the level-start slide.
    void SlideInLevel(const std::string& fileName);
    void Timer2Timer();
    void Timer3Timer();
    void GameOverNow();
    void NeuesSpiel1Click();
    // The new game itself, asked for or not (the game-over dialog's answer).
    void StartNewGame();
    void FormKeyPress(char key);
    void SetTimer2(bool enabled);
    void SetTimer3(bool enabled);

    // --- helpers shared by the phases ---
    // While an event runs its clock is held (see TClockHold), so every read in it agrees.
    uint32_t Now() { return ClockHeld ? HeldClock : Platform.GetTickCount(); }
    int32_t Random(int32_t n) { return Rng.Random(n); }
    bool Chance(int32_t n) { return Rng.Chance(n); }
    TBox PlayerBox() const { return PlayerBoxAt(PlayerX, PlayerY); }

    TPlatform& Platform;

    // --- what the game holds besides its record (game/Record.h) ---
    std::string AppDir;  // ends in '/'
    std::array<TDib, kSheetCount> Sheets;
    std::unique_ptr<TDynaArray<TBubble>> Bubbles;
    TBubble* CurrentBubble = nullptr;
    std::unique_ptr<TDynaArray<TEnemy>> Enemies;
    TEnemy* CurrentEnemy = nullptr;
    std::unique_ptr<TDynaArray<TItem>> Items;
    TItem* CurrentItem = nullptr;
    // What the editor changed since the level was loaded; not part of the saved state.
    TEditHistory History;
    // The edited level's name: its file's, without folder and extension; empty for none.
    std::string LevelName;
    std::unique_ptr<TPicture> BackBuffer;
    std::unique_ptr<TPicture> PrevPicture;

    // The clock of the event being dispatched.
    uint8_t ClockHeld = 0;
    uint32_t HeldClock = 0;
};

}  // namespace blubbi
