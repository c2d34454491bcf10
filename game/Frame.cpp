// Start-up, shutdown, the frame timer's gating and the frame routine with its fixed order.
#include "game/MainForm.h"

#include "game/DataFiles.h"

namespace blubbi {

TMainForm::TMainForm(TPlatform& platform) : Platform(platform) {}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate() {
    TransitionCounter = 100;
    AppDir = Platform.ProgramDir();
    if (AppDir.empty() || AppDir.back() != '/') AppDir += '/';
    for (const TSheetFile& sheet : SheetFiles()) Sheets[sheet.Slot] = Platform.OpenDib(AppDir + sheet.Path);
    NewBtnClick();    // the lists do not exist yet; its frame does nothing while GameActive is 0
    History.Clear();  // the empty level the game starts with is no editor step
    LevelNo = StartLevelNo;
    Platform.SetLevelDialogFolder(AppDir + "levels");
    StartX = 38;
    StartY = 315;
    PlayerX = StartX;
    PlayerY = StartY;
    LastFireTick = 0;
    auto report = [this](const std::string& text) { Platform.ShowErrorMessage(text); };
    Bubbles = std::make_unique<TDynaArray<TBubble>>(&CurrentBubble, report);
    Enemies = std::make_unique<TDynaArray<TEnemy>>(&CurrentEnemy, report);
    Items = std::make_unique<TDynaArray<TItem>>(&CurrentItem, report);
    OpenSounds();
    Rng.Seed(Platform.RandomSeed());
    OpenLevel(LevelFileName(LevelNo));
    Lives = 3;
    GameActive = 1;
}

void TMainForm::FormDestroy() {
    CloseSounds();
    for (const TSheetFile& sheet : SheetFiles()) Sheets[sheet.Slot] = TDib{};
    Bubbles.reset();
    Enemies.reset();
    Items.reset();
    CurrentBubble = nullptr;
    CurrentEnemy = nullptr;
    CurrentItem = nullptr;
    BackBuffer.reset();
    PrevPicture.reset();
}

void TMainForm::Timer1Timer() {
    if (!GameActive || Paused || InDialog || InPaint || InEndCheck) return;  // such ticks are lost
    if (EndCheckPending) checkendeNow();
    PaintBox1Paint();
}

void TMainForm::SetPaused(bool paused) {
    if ((Paused != 0) == paused) return;
    Paused = paused ? 1 : 0;
    Platform.SetClockPaused(paused);
    PauseMusic(paused);
}

// One whole frame. Every caller (timer, level load, editor) gets all of it.
void TMainForm::PaintBox1Paint() {
    InPaint = 1;
    if (!GameActive) {
        InPaint = 0;
        return;
    }
    if (MusicEnabled) MusicKeepAlive();
    // During the slide the game stands still; the frames only present.
    if (TransitionCounter != 0 && TransitionCounter != 100) {
        PresentPicture();
        Walking = 0;
        InPaint = 0;
        return;
    }
    if (HitTimer == 0) InputPhase();
    if (!Sheets[kSlotStein1].Bits) {
        InPaint = 0;
        return;
    }
    NewBackBuffer();
    VerticalMovement();
    DrawGrid();
    if (Items) ItemPhase();
    if (Enemies) EnemyPhase();
    if (Bubbles) BubblePhase();
    if (!PlayerPhase()) {  // the last life went; game over has run
        InPaint = 0;
        return;
    }
    DrawStatus();
    PresentPicture();
    Walking = 0;
    InPaint = 0;
}

}  // namespace blubbi
