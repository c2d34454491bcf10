// Recording the events of a game as a replay, playing one back, and checking one without pictures.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Sha256.h"
#include "base/Version.h"
#include "game/Events.h"
#include "platform/replay/ForwardingPlatform.h"
#include "platform/replay/ReplayFormat.h"

namespace blubbi {

// A short hash of the whole game state, as checkpoints hold it.
std::string StateHash(const TMainForm& game);
// The state as play goes on from it at the clock `now`: every tick the game keeps counts as the time
// since then, so the clock a play began at and pauses that moved nothing leave it as it is.
std::string PlayHash(const TMainForm& game, uint32_t now);
// A hash of the files in `dataDir` the rules read: the sheets and the game's own levels
// (docs/replay-format.md says how it is made).
std::string DataHash(const std::string& dataDir);

// Sits between the game and its platform; every event goes through Record, which writes its
// line, reads the line back and dispatches what it read. Dialog and sound answers the game gets
// while an event runs, and the bytes of every level it reads, are written after the event's line.
// Nothing reaches the game unwritten: an event that arrives while another runs (from inside a
// modal dialog's loop) is held until that one ends, then written and dispatched; a frame tick
// then, or while the game is paused, is dropped, as a modal dialog and the pause hold the frames.
// "Neues Spiel" begins a new replay from the values the game carries over; a game over answered
// with "Continue" goes on in the same one.
class TRecorder : public TForwardingPlatform {
public:
    explicit TRecorder(TPlatform& inner);

    // Before FormCreate: fixes the seed and writes the header; `dataDir` holds the game's levels.
    void Begin(const std::string& dataDir, int32_t startLevel, uint32_t clock);
    // FormCreate with the clock held at the header's value.
    void Create(TMainForm& game);

    void Record(TMainForm& game, const TEvent& event);
    // The text so far with its end line: a whole replay. Recording may go on after it.
    std::string Text(const TMainForm& game);
    // While the game-over dialog is up (the hiscore upload runs then): the replay up to and with
    // the event that showed it, answered as a new game, ending in the state that answer leads to
    // (the text is played once without pictures for it). Empty outside that dialog.
    std::string GameOverText();
    // The replay of the game that the last recorded event ended: by starting a new one (whose
    // replay goes on from there) or in a game over answered with "Continue" (the same replay goes
    // on); empty when it ended none.
    const std::string& Finished() const { return FinishedText; }
    int64_t FinishedFrames() const { return FinishedGameFrames; }
    int64_t Frames() const { return FrameCount; }
    TStartKind Start() const { return Header.Start; }

    uint64_t RandomSeed() override { return Header.Seed; }
    int PaintBoxWidth() override { return Width; }
    int PaintBoxHeight() override { return Height; }
    TModalResult ShowGameOverDialog(const std::string& points) override;
    bool OpenLevelDialog(std::string& fileName) override;
    bool SaveLevelDialog(std::string& fileName) override;
    // After a save dialog of the same event: the file could not be written, and the answer says so.
    void ShowErrorMessage(const std::string& text) override;
    std::string SendMediaCommand(const std::string& command) override;
    std::optional<std::vector<uint8_t>> ReadLevelFile(const std::string& fileName) override;
    void NewGameStarts() override;
    TSaveChoice AskSaveChanges(const std::string& levelName) override;
    bool AskRestoreRecovery(const TRecovery& kept) override;

private:
    // Whether the event, `step` ms after the last, keeps the clock a real session has; a one-shot timer
    // before its time is held for a later tick, a tick the timer could not give is dropped.
    bool ClockAllows(TMainForm& game, const TEvent& event, uint32_t step);
    // A new replay from `clock` on: what one replay wrote is never seen by the next.
    void NewTake(uint32_t clock);
    void Answer(TAnswer answer);
    void FlushRun();
    void Write(TMainForm& game, const TEventLine& read, const std::string& line, size_t answers);
    // The event that ran wrote its line; when it started a new game, its replay ends here and the
    // new game's begins.
    void BeginNewGame(TMainForm& game, uint32_t clock, std::string before);
    std::string OwnLevelHash(const std::vector<uint8_t>& bytes);

    TReplayHeader Header;
    std::string DataDir;
    std::string Body;
    uint32_t LastClock = 0;
    uint64_t Elapsed = 0;             // ms since this replay's start, as its reader counts them
    TTickClock Ticks;                 // the ticks written, against the frame timer's pace
    std::vector<TEvent> EarlyTimers;  // one-shot timers that fired before their time on the game's clock
    int64_t FrameCount = 0;
    std::vector<uint32_t> Run;  // steps of the ticks not yet written
    int Depth = 0;
    int32_t MediaQueries = 0;
    std::string LastMedia;
    std::string CurrentLine;  // of the event that runs now
    bool CurrentTick = false;
    bool InGameOver = false;
    bool ContinueNext = false;  // the last game over was answered with "Continue"
    std::vector<TAnswer> Pending;
    std::vector<TEvent> Held;   // arrived while another event ran
    int Width = 0, Height = 0;  // the paint box as the game knows it: as of the last resize written
    TMainForm* Game = nullptr;
    // Set when the running event started a new game: the carried values then, and how many of the
    // event's answers and status queries came before.
    struct TNewGame {
        std::string Carry;
        size_t Answers = 0;
        int32_t Queries = 0;
    };
    std::optional<TNewGame> NewGame;
    std::string FinishedText;
    int64_t FinishedGameFrames = 0;
    std::map<std::string, std::string> LevelsAtStart;  // the game's own level files -> hash
};

struct TVerifyLimits;

// Plays a parsed replay into a game: the clock, the one-shot timers and every answer come
// from the replay. The inner platform draws and sounds; its own answers are not used.
class TReplayPlayer : public TForwardingPlatform {
public:
    TReplayPlayer(TPlatform& inner, TReplay replay, std::string dataDir);
    // Plays the text a step at a time as `reader` reads it on from `header`, holding one step and not
    // all of them; the text must outlive the player, and should have passed CheckReplay.
    TReplayPlayer(TPlatform& inner, TReplayHeader header, const TReplayReader& reader, std::string dataDir);
    ~TReplayPlayer() override;

    // FormCreate at the header's clock (and the saved state when the replay starts from one).
    void Create(TMainForm& game);
    // Plays the next event (one tick of a run); false once the replay is over or went wrong.
    bool Step(TMainForm& game);
    // The clock value of the next event, for showing at real speed.
    uint32_t NextClock() const;
    // Plays to the end, past frameLimit frames no further; stops within a frame once *cancel is set.
    void PlayAll(TMainForm& game, int64_t frameLimit, const std::atomic<bool>* cancel = nullptr);
    // As PlayAll, within a check's bounds of work (TVerifyLimits); LimitExceeded, saying why, past them.
    void PlayAll(TMainForm& game, const TVerifyLimits& limits);

    // What the play found so far: Running while it goes on; Ok once it came to the end line; Cancelled
    // when it could not go on here (no scratch folder for the replay's files could be made).
    TVerifyResult Found;
    bool Running() const { return Found.Status == TVerifyResult::TStatus::Running; }

    // Called on a resize line before its event, so the paint box reports the new size.
    std::function<void(int, int)> OnResize;

    // Where the play stands between two steps, with what it found so far: kept with the game's saved
    // state, it lets a play of the same text go on from there instead of from the start (TReplaySeeker).
    struct TPlace {
        std::optional<TReplayReader> Reader;
        TReplayStep Read;
        bool HaveRead = false;
        size_t At = 0;
        int64_t RunDone = 0;
        uint32_t Clock = 0;
        std::string MediaNow;
        int32_t Files = 0;
        TVerifyResult Found;
    };
    TPlace Place() const;
    // To a place of a play of the same text. The game's id is known only to a play from the start.
    void Return(const TPlace& place);

    uint32_t GetTickCount() override { return Clock; }
    uint64_t RandomSeed() override { return Header.Seed; }
    void SetTimerEnabled(TOneShotTimer, bool) override {}
    TModalResult ShowGameOverDialog(const std::string& points) override;
    void ShowWinDialog() override;
    bool OpenLevelDialog(std::string& fileName) override;
    bool SaveLevelDialog(std::string& fileName) override;
    std::string SendMediaCommand(const std::string& command) override;
    std::optional<std::vector<uint8_t>> ReadLevelFile(const std::string& fileName) override;
    TSaveChoice AskSaveChanges(const std::string& levelName) override;
    // Kept work comes from the recording; the player keeps none of its own and remembers no file.
    std::optional<TRecovery> ReadRecovery() override;
    bool AskRestoreRecovery(const TRecovery& kept) override;
    void LevelFileUsed(const std::string&) override {}
    void RecoveryDue() override {}
    void WriteRecovery(const std::vector<uint8_t>&, const std::string&) override {}
    void RemoveRecovery() override {}

private:
    const TAnswer* RestoreAnswer = nullptr;  // read with the kept work, for the question after it
    const TAnswer* NextAnswer(TAnswerKind kind);
    // The recorded answer to the dialog the game shows now; none, and the game has gone apart from
    // the recording, when the recorded game had no such dialog then.
    const TAnswer* DialogAnswer(TAnswerKind kind, const std::string& dialog);
    // The check's work ran past its bounds: `actors` in one frame (0: all frames together).
    void TooDear(int64_t actors, const TVerifyLimits& limits);
    // The game differs from the recording from `frame` on.
    void WentApart(int64_t frame, std::string reason);
    // The replay cannot be played on from `line`.
    void Refuse(int line, std::string reason, std::string forPlayer = {});
    // The player's own folder for the files of open and save answers, with its slash; empty
    // (and the play stopped) when none can be made.
    std::string Scratch();

    // A checkpoint or the end: false when the play stops there.
    bool Checkpoint(TMainForm& game, const TReplayStep& s);
    static bool EditorCommand(const TEvent& e);
    // A one-shot timer's line comes only once its time has passed on the game's clock; false (and the
    // replay refused at the line) when it comes before.
    bool OneShotKept(const TMainForm& game, const TEvent& e);
    // One event (one tick of a run): false when the play stops after it.
    bool PlayEvent(TMainForm& game, const TReplayStep& s);
    // The step at hand, null after the last; and on to the next.
    const TReplayStep* Now();
    void Advance();

    TReplayHeader Header;
    // The steps: all of a parsed replay, or those its reader has still to read and the one at hand.
    std::vector<TReplayStep> Steps;
    std::optional<TReplayReader> Reader;
    TReplayStep Read;
    bool HaveRead = false;
    std::string DataDir;
    std::string ScratchDir;
    // What the play computed: the data, the start state and every checkpoint's state; GameId its hash.
    TSha256 Trail;
    bool Returned = false;  // Trail misses the states before a place returned to
    size_t At = 0;
    int64_t RunDone = 0;
    uint32_t Clock = 0;
    const TReplayStep* Current = nullptr;
    TMainForm* Playing = nullptr;  // while an event of the replay runs
    std::vector<bool> Used;
    int32_t MediaQueries = 0;
    std::string MediaNow;
    int32_t Files = 0;
    // The data's own level files by name, with the hash of their bytes; read at the first need.
    const std::map<std::string, std::string>& OwnLevelFiles();
    std::optional<std::map<std::string, std::string>> OwnLevelHashes;
};

struct TVerifyLimits {
    TReplayLimits Text;
    int64_t MaxFrames = 2'000'000;
    // The work of a check: the actors (enemies, bubbles, items) of every frame played, summed, and
    // the most one frame may hold; 0: no bound. A level with thousands of enemies is no game the
    // check plays on.
    int64_t MaxWork = 0;
    int64_t MaxActors = 0;
    // When set, another thread may end the check early by setting it (a deadline ran out).
    const std::atomic<bool>* Cancel = nullptr;
};

// Plays the replay without pictures against the game's data in `dataDir`.
TVerifyResult VerifyReplay(std::string_view replayText, const std::string& dataDir, const TVerifyLimits& limits);
// The result as one line of JSON.
std::string VerifyJson(const TVerifyResult& result);

}  // namespace blubbi
