// The recorder: every event of a game written as a replay line, with the answers it got.
#include <algorithm>
#include <filesystem>
#include <utility>

#include "base/Files.h"
#include "base/Sha256.h"
#include "game/Snapshot.h"
#include "level/LevelCodec.h"
#include "platform/replay/Carry.h"
#include "platform/replay/Replay.h"
#include "platform/replay/ReplayShared.h"

namespace blubbi {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxMediaChars = 255;

const char* ChoiceName(TSaveChoice choice) {
    return choice == TSaveChoice::Save ? "save" : choice == TSaveChoice::Discard ? "discard" : "cancel";
}

}  // namespace

TRecorder::TRecorder(TPlatform& inner) : TForwardingPlatform(inner) {}

void TRecorder::Begin(const std::string& dataDir, int32_t startLevel, uint32_t clock) {
    DataDir = WithSlash(dataDir);
    Header = {};
    Header.Program = ProgramVersion();
    Header.Seed = Inner.RandomSeed();
    Header.Clock = clock;
    Header.Level = startLevel;
    Header.Width = Width = Inner.PaintBoxWidth();
    Header.Height = Height = Inner.PaintBoxHeight();
    Header.DataHash = DataHash(DataDir);
    LevelsAtStart = LevelFilesNow(DataDir);
    ContinueNext = false;
    NewTake(clock);
}

void TRecorder::NewTake(uint32_t clock) {
    Body.clear();
    LastClock = clock;
    Elapsed = 0;
    Ticks.Reset();
    FrameCount = 0;
    Run.clear();
    MediaQueries = 0;
    LastMedia.clear();
    Pending.clear();
}

void TRecorder::Create(TMainForm& game) {
    Game = &game;
    const TClockHold hold(game, Header.Clock);
    game.StartLevelNo = Header.Level;
    game.FormCreate();
}

void TRecorder::NewGameStarts() {
    if (Depth > 0 && Game) {
        NewGame = TNewGame{CarryText(*Game), Pending.size(), MediaQueries};
        // The new game's replay starts knowing no answer: its first one is written whatever it is.
        LastMedia = "\n";
    }
    Inner.NewGameStarts();
}

void TRecorder::BeginNewGame(TMainForm& game, uint32_t clock, std::string before) {
    // A game left by the menu ends as it stood; one that ended in its game-over dialog ends with it.
    FinishedText = before.empty() ? Text(game) : std::move(before);
    FinishedGameFrames = FrameCount;
    std::string answers;
    for (size_t i = NewGame->Answers; i < Pending.size(); ++i) {
        TAnswer a = Pending[i];
        a.Query -= NewGame->Queries;  // counted from the new game's own start
        answers += FormatAnswer(a) + "\n";
    }
    TReplayHeader next = Header;
    next.Start = TStartKind::NewGame;
    next.Carry = NewGame->Carry;
    next.StartState.clear();
    next.Clock = clock;
    next.Level = 1;
    next.Width = Width;
    next.Height = Height;
    NewGame.reset();
    ContinueNext = false;
    NewTake(clock);
    const std::string start = "menu NeuesSpiel1Click\n" + answers;
    // The new game must come out of its carried values exactly as it did here; where it does not (a
    // level 1 that cannot be read, say), its replay starts from the state itself.
    const std::string hash = StateHash(game);
    const TVerifyResult check = VerifyReplay(FormatHeader(next) + start + "end 0 " + hash + "\n", DataDir, {});
    Header = std::move(next);
    if (check.Status == TVerifyResult::TStatus::Ok) {
        Body = start;
        return;
    }
    Header.Start = TStartKind::State;
    Header.Carry.clear();
    Header.StartState = SaveState(game);
}

// Equal steps as one counted tick line; else one character a step where each fits.
void TRecorder::FlushRun() {
    if (Run.empty()) return;
    TEventLine line;
    if (std::all_of(Run.begin(), Run.end(), [&](uint32_t step) { return step == Run[0]; })) {
        line.Repeat = static_cast<int64_t>(Run.size());
        line.Step = Run[0];
        Body += FormatEventLine(line) + "\n";
        Run.clear();
        return;
    }
    auto flushChars = [&] {
        if (line.Steps.empty()) return;
        Body += FormatEventLine(line) + "\n";
        line.Steps.clear();
    };
    for (uint32_t step : Run) {
        if (TickStepChar(step)) {
            line.Steps.push_back(static_cast<uint8_t>(step));
            continue;
        }
        flushChars();
        TEventLine one;
        one.Step = step;
        Body += FormatEventLine(one) + "\n";
    }
    flushChars();
    Run.clear();
}

bool TRecorder::ClockAllows(TMainForm& game, const TEvent& event, uint32_t step) {
    if (event.Kind == TEventKind::Tick) {
        // A one-shot timer that fired early comes with the first tick after its time.
        std::vector<TEvent> due;
        due.swap(EarlyTimers);
        for (TEvent& timer : due) {
            const bool next = timer.Kind == TEventKind::Timer2;
            if (!(next ? game.Timer2Enabled : game.Timer3Enabled)) continue;  // stopped meanwhile: gone
            if (!OneShotDue(LastClock + step, next ? game.Timer2Started : game.Timer3Started)) {
                EarlyTimers.push_back(std::move(timer));
                continue;
            }
            timer.Clock = LastClock + step;
            Record(game, timer);
        }
        // A tick faster than the frame timer can deliver (a catch-up after a stall) is lost, as a
        // tick during a frame is: what is written is what a real timer gives.
        uint64_t span = 0;
        return !game.Paused && Ticks.Allows(Elapsed + step, span);
    }
    if (event.Kind != TEventKind::Timer2 && event.Kind != TEventKind::Timer3) return true;
    const bool next = event.Kind == TEventKind::Timer2;
    if ((next ? game.Timer2Enabled : game.Timer3Enabled) &&
        !OneShotDue(LastClock + step, next ? game.Timer2Started : game.Timer3Started)) {
        EarlyTimers.push_back(event);
        return false;
    }
    return true;
}

void TRecorder::Record(TMainForm& game, const TEvent& event) {
    Game = &game;
    if (Depth > 0) {
        if (event.Kind != TEventKind::Tick) Held.push_back(event);
        return;
    }
    FinishedText.clear();
    FinishedGameFrames = 0;
    // Paused, the game lets ticks pass without a frame: they change nothing and are not written.
    if (event.Kind == TEventKind::Tick && game.Paused) return;
    // Never a clock that runs backwards: an event that says it came earlier comes now.
    const uint32_t step = TTickClock::Forward(event.Clock - LastClock) ? event.Clock - LastClock : 0;
    if (!ClockAllows(game, event, step)) return;
    if (ContinueNext) {  // from here on the replay holds a continued game
        ContinueNext = false;
        if (Header.Start != TStartKind::Continued) Header.Origin = Header.Start;
        Header.Start = TStartKind::Continued;
    }
    TEventLine written;
    written.Event = event;
    written.Step = step;
    const std::string line = FormatEventLine(written);
    // The game runs on what the line says, so it cannot differ from a playback of it.
    std::string unknown;
    const std::optional<TEventLine> parsed = ParseEventLine(line, unknown);
    if (!parsed) return;  // nothing the game knows (an unknown menu name)
    const TEventLine& read = *parsed;
    TEvent played = read.Event;
    played.Clock = LastClock + read.Step;
    Pending.clear();
    MediaQueries = 0;
    NewGame.reset();
    CurrentLine = line;
    CurrentTick = played.Kind == TEventKind::Tick;
    if (played.Kind == TEventKind::Resize) {
        Width = played.A;
        Height = played.B;
    }
    std::string before;
    if (played.Kind == TEventKind::Menu && played.Text == "NeuesSpiel1Click") before = Text(game);
    ++Depth;
    Dispatch(game, played);
    --Depth;
    LastClock = played.Clock;
    Elapsed += read.Step;
    if (played.Kind == TEventKind::Tick) Ticks.Add(Elapsed);
    Write(game, read, line, Pending.size());
    if (NewGame) BeginNewGame(game, played.Clock, std::move(before));
    Pending.clear();
    // A game over answered with "Continue" ends that game's replay here, before anything held.
    if (ContinueNext && FinishedText.empty()) {
        FinishedText = Text(game);
        FinishedGameFrames = FrameCount;
    }
    // What arrived meanwhile comes now, in its order, each as an event of its own.
    std::vector<TEvent> held;
    held.swap(Held);
    const std::string finished = held.empty() ? std::string() : FinishedText;
    const int64_t finishedFrames = FinishedGameFrames;
    for (TEvent& e : held) {
        if (static_cast<int32_t>(e.Clock - LastClock) < 0) e.Clock = LastClock;  // not before what it waited for
        Record(game, e);
    }
    if (FinishedText.empty() && !finished.empty()) {
        FinishedText = finished;
        FinishedGameFrames = finishedFrames;
    }
}

void TRecorder::Write(TMainForm& game, const TEventLine& read, const std::string& line, size_t answers) {
    const bool tick = read.Event.Kind == TEventKind::Tick;
    if (tick) {
        // A tick that got answers stands on its own line, so they follow it.
        if (answers > 0) FlushRun();
        Run.push_back(read.Step);
        ++FrameCount;
        if (answers > 0) FlushRun();
    } else {
        FlushRun();
        Body += line + "\n";
    }
    for (size_t i = 0; i < answers; ++i) Body += FormatAnswer(Pending[i]) + "\n";
    if (tick && FrameCount % kCheckpointFrames == 0) {
        FlushRun();
        Body += "check " + std::to_string(FrameCount) + " " + StateHash(game) + "\n";
    }
}

std::string TRecorder::Text(const TMainForm& game) {
    FlushRun();
    return FormatHeader(Header) + Body + "end " + std::to_string(FrameCount) + " " + StateHash(game) + "\n";
}

std::string TRecorder::GameOverText() {
    if (!InGameOver) return {};
    FlushRun();
    std::string text = FormatHeader(Header) + Body + CurrentLine + "\n";
    for (const TAnswer& a : Pending) text += FormatAnswer(a) + "\n";
    TAnswer over;
    over.Kind = TAnswerKind::GameOver;
    text += FormatAnswer(over) + "\n";
    const std::string end = "end " + std::to_string(FrameCount + (CurrentTick ? 1 : 0)) + " ";
    // The state after the answer exists only in a play of the text: its end line is learnt from one.
    const TVerifyResult played = VerifyReplay(text + end + std::string(16, '0') + "\n", DataDir, TVerifyLimits{});
    return text + end + played.EndHash + "\n";
}

void TRecorder::Answer(TAnswer answer) {
    if (Depth > 0) Pending.push_back(std::move(answer));
}

TModalResult TRecorder::ShowGameOverDialog(const std::string& points) {
    InGameOver = Depth > 0;
    const TModalResult result = Inner.ShowGameOverDialog(points);
    InGameOver = false;
    ContinueNext = result == TModalResult::Ok;
    TAnswer a;
    a.Kind = TAnswerKind::GameOver;
    a.Yes = result == TModalResult::Ok;
    Answer(a);
    return result;
}

std::string TRecorder::OwnLevelHash(const std::vector<uint8_t>& bytes) {
    std::string hash = Sha256Hex(bytes.data(), bytes.size());
    for (const auto& [name, own] : LevelsAtStart)
        if (own == hash) return hash;
    return {};
}

bool TRecorder::OpenLevelDialog(std::string& fileName) {
    const bool ok = Inner.OpenLevelDialog(fileName);
    TAnswer a;
    a.Kind = TAnswerKind::Open;
    a.Yes = ok;
    if (ok) {
        // The file goes into the replay as it is now, so the replay stands on its own. One the
        // game cannot read whole (missing, empty, not a regular file, too big) leaves its level
        // as it was, and that is all the replay needs to say of it.
        std::string error;
        if (auto bytes = ReadRegularFile(fileName, kLevelMaxFileBytes, error); bytes && !bytes->empty()) {
            a.Text = OwnLevelHash(*bytes);
            a.OwnLevel = !a.Text.empty();
            if (!a.OwnLevel) a.Bytes = std::move(*bytes);
        } else {
            a.Unreadable = true;
        }
    }
    Answer(std::move(a));
    return ok;
}

bool TRecorder::SaveLevelDialog(std::string& fileName) {
    const bool ok = Inner.SaveLevelDialog(fileName);
    TAnswer a;
    a.Kind = TAnswerKind::Save;
    a.Yes = ok;
    if (ok) {
        a.Text = fs::path(fileName).filename().string();
        const bool plain = !a.Text.empty() && a.Text[0] != '.' && a.Text.size() <= 255 &&
                           std::all_of(a.Text.begin(), a.Text.end(), [](char c) { return c > ' ' && c <= '~'; });
        if (!plain) a.Text = "level.lev";
    }
    Answer(std::move(a));
    return ok;
}

void TRecorder::ShowErrorMessage(const std::string& text) {
    if (!Pending.empty() && Pending.back().Kind == TAnswerKind::Save && Pending.back().Yes)
        Pending.back().Unreadable = true;
    Inner.ShowErrorMessage(text);
}

TSaveChoice TRecorder::AskSaveChanges(const std::string& levelName) {
    const TSaveChoice choice = Inner.AskSaveChanges(levelName);
    TAnswer a;
    a.Kind = TAnswerKind::Unsaved;
    a.Text = ChoiceName(choice);
    Answer(std::move(a));
    return choice;
}

bool TRecorder::AskRestoreRecovery(const TRecovery& kept) {
    // Only a level a replay line can hold is brought back; the game refuses any other anyway.
    const bool yes = Inner.AskRestoreRecovery(kept) && kept.Level.size() <= kLevelMaxFileBytes;
    TAnswer a;
    a.Kind = TAnswerKind::Restore;
    a.Yes = yes;
    if (yes) a.Bytes = kept.Level;
    Answer(std::move(a));
    return yes;
}

std::string TRecorder::SendMediaCommand(const std::string& command) {
    std::string answer = Inner.SendMediaCommand(command);
    if (!IsStatusQuery(command) || Depth == 0) return answer;
    // What the game gets is what a line can hold.
    if (answer.size() > kMaxMediaChars) answer.resize(kMaxMediaChars);
    for (char& c : answer)
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = '?';
    const int32_t query = MediaQueries++;
    if (answer != LastMedia) {
        TAnswer a;
        a.Kind = TAnswerKind::Media;
        a.Query = query;
        a.Text = answer;
        Answer(std::move(a));
        LastMedia = answer;
    }
    return answer;
}

std::optional<std::vector<uint8_t>> TRecorder::ReadLevelFile(const std::string& fileName) {
    auto bytes = Inner.ReadLevelFile(fileName);
    if (Depth == 0) return bytes;
    TAnswer a;
    a.Kind = TAnswerKind::Read;
    a.Yes = bytes && !bytes->empty();  // an empty file loads nothing, as one that cannot be read
    if (a.Yes) {
        // One of the game's own levels as it was when the run began goes by its hash; anything else
        // (a level changed since, one from elsewhere) goes whole.
        const std::string hash = Sha256Hex(bytes->data(), bytes->size());
        const auto own = OwnLevelName(DataDir, fileName);
        const auto atStart = own ? LevelsAtStart.find(*own) : LevelsAtStart.end();
        a.OwnLevel = atStart != LevelsAtStart.end() && atStart->second == hash;
        if (a.OwnLevel)
            a.Text = hash;
        else
            a.Bytes = *bytes;
    }
    Answer(std::move(a));
    if (bytes && bytes->empty()) return std::nullopt;
    return bytes;
}

}  // namespace blubbi
