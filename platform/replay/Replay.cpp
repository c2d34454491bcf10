// The recorder, the player and the check of a replay without pictures.
#include "platform/replay/Replay.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <utility>

#include "base/Files.h"
#include "base/Sha256.h"
#include "game/DataFiles.h"
#include "game/MenuCommands.h"
#include "game/Snapshot.h"
#include "level/LevelCodec.h"
#include "platform/headless/NullPlatform.h"
#include "platform/replay/Carry.h"

namespace blubbi {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxMediaChars = 255;

bool IsStatusQuery(const std::string& command) { return command.rfind("status ", 0) == 0; }

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// The files of the program folder the rules read, by their path in it, sorted: the game's own
// levels and the sheets. Nothing else counts, so build files beside them (the sound library's
// objects in a build tree's sound/) or pictures only the window shows change no hash.
std::vector<std::string> RuleFiles(const std::string& dataDir) {
    std::vector<std::string> names;
    for (const TSheetFile& sheet : SheetFiles()) names.emplace_back(sheet.Path);
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(dataDir) / "levels", ec), end; !ec && it != end; it.increment(ec))
        if (const std::string name = it->path().filename().string(); IsOwnLevelFileName(name))
            names.push_back("levels/" + name);
    std::erase_if(names, [&](const std::string& name) { return !fs::is_regular_file(fs::path(dataDir) / name, ec); });
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The game's own levels by file name, with the hash of their bytes now: those the data hash covers.
std::map<std::string, std::string> LevelFilesNow(const std::string& dataDir) {
    std::map<std::string, std::string> levels;
    for (const std::string& name : RuleFiles(dataDir)) {
        if (!name.starts_with("levels/")) continue;
        const std::string content = ReadAll(fs::path(dataDir) / name);
        levels.emplace(name.substr(std::string_view("levels/").size()), Sha256Hex(content.data(), content.size()));
    }
    return levels;
}

// The file's name when it is one of the game's own levels, by name and folder.
std::optional<std::string> OwnLevelName(const std::string& dataDir, const std::string& fileName) {
    const fs::path file(fileName);
    if (file.parent_path().lexically_normal() != (fs::path(dataDir) / "levels").lexically_normal()) return std::nullopt;
    if (!IsOwnLevelFileName(file.filename().string())) return std::nullopt;
    return file.filename().string();
}

}  // namespace

std::string StateHash(const TMainForm& game) {
    const auto bytes = SaveState(game);
    return Sha256Hex(bytes.data(), bytes.size()).substr(0, 16);
}

std::string PlayHash(const TMainForm& game, uint32_t now) {
    TGameRecord r = game;
    // 0 is "never" for the ticks that have such a meaning; it stays so.
    for (uint32_t* tick : {&r.LastHitTick, &r.MusicStartTick, &r.LastFireTick, &r.Timer2Started, &r.Timer3Started})
        if (*tick != 0) *tick = now - *tick;
    TSha256 hash;
    ForEachField(std::as_const(r), [&](const char* name, const auto& v, TFieldRole) {
        using T = std::decay_t<decltype(v)>;
        hash.Add(std::string(name) + '=');
        if constexpr (std::is_integral_v<T>)
            hash.Add(std::to_string(v));
        else
            hash.Add(v.data(), v.size());
        hash.Add("\n");
    });
    const auto list = [&](const auto& records, auto&& age) {
        const int32_t count = records ? records->Count : -1;
        hash.Add(&count, sizeof count);
        for (int32_t i = 0; i < count; ++i) {
            using T = std::decay_t<decltype((*records)[i])>;
            std::array<uint8_t, sizeof(T)> bytes;
            std::memcpy(bytes.data(), &(*records)[i], sizeof(T));
            age(bytes);
            hash.Add(bytes.data(), bytes.size());
        }
    };
    list(game.Bubbles, [now](auto& bytes) {
        uint32_t spawned = 0;
        std::memcpy(&spawned, bytes.data() + offsetof(TBubble, SpawnTick), sizeof spawned);
        spawned = now - spawned;
        std::memcpy(bytes.data() + offsetof(TBubble, SpawnTick), &spawned, sizeof spawned);
    });
    list(game.Enemies, [](auto&) {});
    list(game.Items, [](auto&) {});
    return hash.Hex();
}

std::string DataHash(const std::string& dataDir) {
    TSha256 hash;
    for (const std::string& name : RuleFiles(dataDir)) {
        const std::string bytes = ReadAll(fs::path(dataDir) / name);
        hash.Add(name + '\0' + std::to_string(bytes.size()) + '\0');
        hash.Add(bytes);
    }
    return hash.Hex();
}

// --- recording ---

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

namespace {
const char* ChoiceName(TSaveChoice choice) {
    return choice == TSaveChoice::Save ? "save" : choice == TSaveChoice::Discard ? "discard" : "cancel";
}
}  // namespace

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

// --- playing ---

TReplayPlayer::TReplayPlayer(TPlatform& inner, TReplay replay, std::string dataDir)
    : TForwardingPlatform(inner),
      Header(std::move(replay.Header)),
      Steps(std::move(replay.Steps)),
      DataDir(WithSlash(std::move(dataDir))) {
    Clock = Header.Clock;
    Found.Version = Header.Program;
    Found.DataHash = Header.DataHash;
    Found.Start = Header.Start;
    Found.Origin = Header.Origin;
    Found.StartLevel = Header.Level;
}

TReplayPlayer::TReplayPlayer(TPlatform& inner, TReplayHeader header, const TReplayReader& reader, std::string dataDir)
    : TReplayPlayer(inner, TReplay{std::move(header), {}}, std::move(dataDir)) {
    Reader = reader;
}

const TReplayStep* TReplayPlayer::Now() {
    if (!Reader) return At < Steps.size() ? &Steps[At] : nullptr;
    if (!HaveRead) {
        HaveRead = Reader->Next(Read);
        if (Reader->Failed()) Refuse(Reader->Error.Line, Reader->Error.Message, Reader->Error.ForPlayer);
    }
    return HaveRead ? &Read : nullptr;
}

void TReplayPlayer::Advance() {
    ++At;
    HaveRead = false;
}

TReplayPlayer::~TReplayPlayer() {
    if (!ScratchDir.empty()) {
        std::error_code ec;
        fs::remove_all(ScratchDir, ec);
    }
}

std::string TReplayPlayer::Scratch() {
    if (ScratchDir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/blubbi-replay-XXXXXX";
        if (mkdtemp(pattern.data())) ScratchDir = pattern;
    }
    if (!ScratchDir.empty()) return WithSlash(ScratchDir);
    // Without a folder of its own a file would land wherever the bare name points (the root
    // folder), so the play stops here and the check cannot decide.
    Found.Status = TVerifyResult::TStatus::Cancelled;
    Found.Reason = "no scratch folder for the replay's files could be made";
    return {};
}

void TReplayPlayer::Create(TMainForm& game) {
    const TReplayHeader& h = Header;
    const TClockHold hold(game, h.Clock);
    game.StartLevelNo = h.Level;
    game.FormCreate();
    std::string error;
    if (!h.Carry.empty() && !ApplyCarry(game, h.Carry, error)) Refuse(h.CarryLine, error);
    if (!h.StartState.empty() && !LoadState(game, h.StartState.data(), h.StartState.size()))
        Refuse(h.StateLine, "the saved state it starts from is damaged");
    Trail.Add(h.DataHash + " " + PlayHash(game, Clock));
}

uint32_t TReplayPlayer::NextClock() const {
    // The step at hand may be part-way through its run of ticks; a step after it is not.
    auto clockOf = [&](const TReplayStep& s, bool atHand) {
        return Clock + (s.Steps.empty() ? s.Step : s.Steps[atHand ? static_cast<size_t>(RunDone) : 0]);
    };
    if (Reader) {
        if (HaveRead && Read.Kind == TReplayStep::TKind::Event) return clockOf(Read, true);
        TReplayReader ahead = *Reader;
        for (TReplayStep s; ahead.Next(s);)
            if (s.Kind == TReplayStep::TKind::Event) return clockOf(s, false);
        return Clock;
    }
    for (size_t i = At; i < Steps.size(); ++i)
        if (Steps[i].Kind == TReplayStep::TKind::Event) return clockOf(Steps[i], i == At);
    return Clock;
}

bool TReplayPlayer::Step(TMainForm& game) {
    while (Running()) {
        const TReplayStep* s = Now();
        if (!s) break;
        Found.Line = s->Line;
        if (s->Kind == TReplayStep::TKind::Event) return PlayEvent(game, *s);
        if (!Checkpoint(game, *s)) return false;
    }
    return false;
}

bool TReplayPlayer::Checkpoint(TMainForm& game, const TReplayStep& s) {
    const std::string hash = StateHash(game);
    if (hash != s.Hash) {
        WentApart(s.Frame, "the game state differs from the recorded one");
        return false;
    }
    Trail.Add(" " + std::to_string(s.Frame) + " " + PlayHash(game, Clock));
    const bool end = s.Kind == TReplayStep::TKind::End;
    Advance();
    if (!end) return true;
    Found.Status = TVerifyResult::TStatus::Ok;
    Found.GameId = Returned ? std::string() : Trail.Hex();
    return false;
}

TReplayPlayer::TPlace TReplayPlayer::Place() const {
    return {Reader, Read, HaveRead, At, RunDone, Clock, MediaNow, Files, Found};
}

void TReplayPlayer::Return(const TPlace& place) {
    Reader = place.Reader;
    Read = place.Read;
    HaveRead = place.HaveRead;
    At = place.At;
    RunDone = place.RunDone;
    Clock = place.Clock;
    MediaNow = place.MediaNow;
    Files = place.Files;
    Found = place.Found;
    Current = nullptr;
    RestoreAnswer = nullptr;
    Returned = true;
}

bool TReplayPlayer::PlayEvent(TMainForm& game, const TReplayStep& s) {
    Clock += s.Steps.empty() ? s.Step : s.Steps[static_cast<size_t>(RunDone)];
    TEvent e = s.Event;
    e.Clock = Clock;
    if (!OneShotKept(game, e)) return false;
    Current = RunDone == 0 ? &s : nullptr;
    Used.assign(s.Answers.size(), false);
    MediaQueries = 0;
    Found.EndedInGameOver = false;
    if (e.Kind == TEventKind::Resize && OnResize) OnResize(e.A, e.B);
    const int32_t levelBefore = game.LevelNo;
    const bool mouse = e.Kind == TEventKind::MouseDown || e.Kind == TEventKind::MouseMove;
    const TGrid gridBefore = mouse ? game.Grid : TGrid{};
    Playing = &game;
    Dispatch(game, e);
    Playing = nullptr;
    if (e.Kind == TEventKind::Char && game.LevelNo != levelBefore) Found.CheatUsed = true;
    // The mouse changes the field only as the editor does, whatever switch let it.
    if (game.EditorMode || (mouse && game.Grid != gridBefore) || EditorCommand(e)) Found.EditorUsed = true;
    if (e.Kind == TEventKind::Tick) ++Found.Frames;
    if (Current && Running() && std::find(Used.begin(), Used.end(), false) != Used.end())
        WentApart(Found.Frames, "the game asked fewer questions than the recorded one");
    Current = nullptr;
    if (e.Kind == TEventKind::Tick && ++RunDone < s.Repeat) return Running();
    RunDone = 0;
    Advance();
    return Running();
}

// The editor's commands (a new, opened or saved level, undo and redo) mark a game as edited, even one
// that opens a level of the game's own: the level it plays is one it chose. The switches (the music,
// the effects, the editor mode, what the mouse inserts) change no level, and neither do a new game
// or the offer of kept work (taken, it is a level of the player's own).
bool TReplayPlayer::EditorCommand(const TEvent& e) {
    if (e.Kind != TEventKind::Menu) return false;
    const TMenuCommand* command = FindMenuCommand(e.Text);
    return command && !command->Checked && command != MenuCommand("NeuesSpiel1Click") &&
           command != MenuCommand("OfferRecovery");
}

bool TReplayPlayer::OneShotKept(const TMainForm& game, const TEvent& e) {
    const bool next = e.Kind == TEventKind::Timer2, win = e.Kind == TEventKind::Timer3;
    if (!next && !win) return true;
    const bool on = next ? game.Timer2Enabled : game.Timer3Enabled;
    const uint32_t started = next ? game.Timer2Started : game.Timer3Started;
    if (!on || OneShotDue(e.Clock, started)) return true;  // one that is off does nothing
    const std::string after = std::to_string(e.Clock - started);
    Refuse(Found.Line, std::string(next ? "timer2" : "timer3") + " " + after + " ms after its start, before its time",
           std::string(next ? "Das nächste Level kommt" : "Der Sieg kommt") + " schon nach " + after +
               " ms; das Spiel wartet " + std::to_string(kOneShotIntervalMs) + " ms.");
    return false;
}

void TReplayPlayer::PlayAll(TMainForm& game, int64_t frameLimit, const std::atomic<bool>* cancel) {
    while (Step(game))
        if (Found.Frames > frameLimit || (cancel && cancel->load(std::memory_order_relaxed))) break;
}

namespace {
int64_t Actors(const TMainForm& game) {
    int64_t actors = 0;
    for (const int32_t count : {game.Enemies ? game.Enemies->Count : 0, game.Bubbles ? game.Bubbles->Count : 0,
                                game.Items ? game.Items->Count : 0})
        actors += count;
    return actors;
}
}  // namespace

void TReplayPlayer::PlayAll(TMainForm& game, const TVerifyLimits& limits) {
    int64_t work = 0, frames = Found.Frames;
    const bool bounded = limits.MaxWork > 0 || limits.MaxActors > 0;
    while (Step(game)) {
        if (Found.Frames > limits.MaxFrames || (limits.Cancel && limits.Cancel->load(std::memory_order_relaxed))) break;
        if (!bounded || Found.Frames == frames) continue;
        frames = Found.Frames;
        const int64_t actors = Actors(game);
        work += actors;
        if (limits.MaxActors > 0 && actors > limits.MaxActors) return TooDear(actors, limits);
        if (limits.MaxWork > 0 && work > limits.MaxWork) return TooDear(0, limits);
    }
}

void TReplayPlayer::TooDear(int64_t actors, const TVerifyLimits& limits) {
    Found.Status = TVerifyResult::TStatus::LimitExceeded;
    Found.Reason = actors > 0 ? "a frame with " + std::to_string(actors) + " actors, more than a check plays"
                              : "more work than a check does";
    Found.ForPlayer = actors > 0 ? "Ein Level mit " + std::to_string(actors) + " Figuren (höchstens " +
                                       std::to_string(limits.MaxActors) + ") prüft der Server nicht."
                                 : "Das Spiel ist zu aufwendig zu prüfen (zu viele Figuren über zu lange Zeit).";
}

void TReplayPlayer::WentApart(int64_t frame, std::string reason) {
    Found.Status = TVerifyResult::TStatus::Mismatch;
    Found.Frame = frame;
    Found.Reason = std::move(reason);
}

void TReplayPlayer::Refuse(int line, std::string reason, std::string forPlayer) {
    Found.Status = TVerifyResult::TStatus::Malformed;
    Found.Line = line;
    Found.Reason = std::move(reason);
    Found.ForPlayer = std::move(forPlayer);
}

const TAnswer* TReplayPlayer::DialogAnswer(TAnswerKind kind, const std::string& dialog) {
    const TAnswer* a = NextAnswer(kind);
    if (!a) WentApart(Found.Frames + 1, dialog + " the recorded game did not have");
    return a;
}

const TAnswer* TReplayPlayer::NextAnswer(TAnswerKind kind) {
    if (!Current) return nullptr;
    for (size_t i = 0; i < Current->Answers.size(); ++i) {
        if (Used[i] || Current->Answers[i].Kind != kind) continue;
        if (kind == TAnswerKind::Media && Current->Answers[i].Query != MediaQueries) continue;
        Used[i] = true;
        return &Current->Answers[i];
    }
    return nullptr;
}

TModalResult TReplayPlayer::ShowGameOverDialog(const std::string& points) {
    if (!Running()) return Inner.ShowGameOverDialog(points);
    ++Found.GameOvers;
    Found.GameOverPoints = points;
    Found.EndedInGameOver = true;
    if (Playing) {
        Found.GameOverLevel = Playing->LevelNo;
        Found.GameOverLives = Playing->Lives;
    }
    Inner.ShowGameOverDialog(points);
    const TAnswer* a = DialogAnswer(TAnswerKind::GameOver, "a game-over dialog");
    if (!a) return TModalResult::Cancel;
    return a->Yes ? TModalResult::Ok : TModalResult::Cancel;
}

void TReplayPlayer::ShowWinDialog() {
    if (Running()) ++Found.Wins;
    Inner.ShowWinDialog();
}

bool TReplayPlayer::OpenLevelDialog(std::string& fileName) {
    if (!Running()) return Inner.OpenLevelDialog(fileName);
    const TAnswer* a = DialogAnswer(TAnswerKind::Open, "a file dialog");
    if (!a || !a->Yes) return false;
    if (a->OwnLevel) {
        // The first of the data's own files with these bytes.
        for (const auto& [name, hash] : OwnLevelFiles())
            if (hash == a->Text) {
                fileName = (fs::path(DataDir) / "levels" / name).string();
                return true;
            }
        WentApart(Found.Frames + 1, "a level the game's data does not hold");
        return false;
    }
    Found.UserLevels = true;
    const std::string scratch = Scratch();
    if (scratch.empty()) return false;
    fileName = scratch + "open-" + std::to_string(++Files) + ".lev";
    if (a->Unreadable) return true;  // a name with no file behind it: the game keeps its level
    std::ofstream out(fileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(a->Bytes.data()), static_cast<std::streamsize>(a->Bytes.size()));
    return true;
}

bool TReplayPlayer::SaveLevelDialog(std::string& fileName) {
    if (!Running()) return Inner.SaveLevelDialog(fileName);
    const TAnswer* a = DialogAnswer(TAnswerKind::Save, "a file dialog");
    if (!a || !a->Yes) return false;
    const std::string scratch = Scratch();
    if (scratch.empty()) return false;
    // A save that failed fails again: into a folder that is not there.
    fileName = scratch + (a->Unreadable ? "missing/" : "") + a->Text;
    return true;
}

TSaveChoice TReplayPlayer::AskSaveChanges(const std::string& levelName) {
    if (!Running()) return Inner.AskSaveChanges(levelName);
    // A game recorded before the game asked dropped a changed level unasked; so does its replay.
    const TAnswer* a = NextAnswer(TAnswerKind::Unsaved);
    if (!a) return TSaveChoice::Discard;
    return a->Text == "save" ? TSaveChoice::Save : a->Text == "discard" ? TSaveChoice::Discard : TSaveChoice::Cancel;
}

std::optional<TRecovery> TReplayPlayer::ReadRecovery() {
    RestoreAnswer = Running() ? NextAnswer(TAnswerKind::Restore) : nullptr;
    if (!RestoreAnswer) return std::nullopt;
    if (RestoreAnswer->Yes) Found.UserLevels = true;  // a level of the player's own, as an opened one
    TRecovery kept;
    kept.Level = RestoreAnswer->Bytes;
    return kept;
}

bool TReplayPlayer::AskRestoreRecovery(const TRecovery&) {
    const TAnswer* a = std::exchange(RestoreAnswer, nullptr);
    return a && a->Yes;
}

std::string TReplayPlayer::SendMediaCommand(const std::string& command) {
    std::string answer = Inner.SendMediaCommand(command);
    if (!Running()) return answer;
    if (!IsStatusQuery(command)) return {};
    if (const TAnswer* a = NextAnswer(TAnswerKind::Media)) MediaNow = a->Text;
    ++MediaQueries;
    return MediaNow;
}

std::optional<std::vector<uint8_t>> TReplayPlayer::ReadLevelFile(const std::string& fileName) {
    if (!Running() || !Current) return Inner.ReadLevelFile(fileName);
    const TAnswer* a = NextAnswer(TAnswerKind::Read);
    if (!a) return Inner.ReadLevelFile(fileName);  // written before reads were: the data's own file
    if (!a->Yes) return std::nullopt;
    if (!a->OwnLevel) {
        Found.UserLevels = true;
        return a->Bytes;
    }
    // One of the game's own levels: the very file asked for, with the recorded bytes.
    const auto& levels = OwnLevelFiles();
    const auto own = OwnLevelName(DataDir, fileName);
    const auto it = own ? levels.find(*own) : levels.end();
    if (it == levels.end() || it->second != a->Text) {
        WentApart(Found.Frames + 1, "a level the game's data does not hold");
        return std::nullopt;
    }
    return Inner.ReadLevelFile(fileName);
}

const std::map<std::string, std::string>& TReplayPlayer::OwnLevelFiles() {
    if (!OwnLevelHashes) OwnLevelHashes = LevelFilesNow(DataDir);
    return *OwnLevelHashes;
}

// --- checking ---

namespace {

std::string CachedDataHash(const std::string& dataDir) {
    static std::mutex lock;
    static std::map<std::string, std::string> cache;
    const std::lock_guard guard(lock);
    auto it = cache.find(dataDir);
    if (it == cache.end()) it = cache.emplace(dataDir, DataHash(dataDir)).first;
    return it->second;
}

}  // namespace

TVerifyResult VerifyReplay(std::string_view replayText, const std::string& dataDir, const TVerifyLimits& limits) {
    // The whole text is read once before anything is played, so a damaged one is refused as it was
    // written; then it is played as it is read again, a step at a time.
    TReplayError error;
    int64_t frames = 0;
    if (!CheckReplay(replayText, limits.Text, error, frames)) {
        TVerifyResult refused;
        refused.Status = TVerifyResult::TStatus::Malformed;
        refused.Line = error.Line;
        refused.Reason = error.Message;
        refused.ForPlayer = error.ForPlayer;
        return refused;
    }
    TReplayReader reader(replayText, limits.Text);
    TReplayHeader header;
    reader.ReadHeader(header);
    const bool dataMatch = header.DataHash == CachedDataHash(WithSlash(dataDir));
    const int32_t width = header.Width, height = header.Height;

    // A platform that keeps nothing: what the check holds does not grow with the replay's length.
    TNullPlatform inner;
    inner.Dir = WithSlash(dataDir);
    inner.Width = width;
    inner.Height = height;
    // Only whether a sheet is there counts for the rules; its pixels do not.
    inner.Loader = [](const std::string& file) {
        std::error_code ec;
        return fs::is_regular_file(file, ec) ? TNullPlatform::MakeDib(19, 19) : TDib{};
    };
    TReplayPlayer player(inner, std::move(header), reader, dataDir);
    player.OnResize = [&inner](int w, int h) {
        inner.Width = w;
        inner.Height = h;
    };
    TMainForm game(player);
    player.Create(game);
    player.PlayAll(game, limits);

    TVerifyResult result = std::move(player.Found);
    result.DataMatch = dataMatch;
    result.Score = game.Score;
    result.LevelNo = game.LevelNo;
    result.Lives = game.Lives;
    result.EndHash = StateHash(game);
    if (result.Status == TVerifyResult::TStatus::Running) {
        const bool cancelled = result.Frames <= limits.MaxFrames && limits.Cancel && limits.Cancel->load();
        result.Status = cancelled ? TVerifyResult::TStatus::Cancelled : TVerifyResult::TStatus::LimitExceeded;
        result.Reason = cancelled ? "stopped before its end" : "more frames than a check may play";
    }
    game.FormDestroy();
    return result;
}

std::string VerifyJson(const TVerifyResult& r) {
    nlohmann::ordered_json j;
    static const char* names[] = {"running", "ok", "mismatch", "malformed", "limit", "cancelled"};
    j["status"] = names[static_cast<int>(r.Status)];
    if (r.Status == TVerifyResult::TStatus::Mismatch) j["frame"] = r.Frame;
    if (r.Status != TVerifyResult::TStatus::Ok) {
        j["line"] = r.Line;
        j["reason"] = r.Reason;
    }
    j["Start"] = StartKindName(r.Start);
    if (r.Start == TStartKind::Continued) j["Origin"] = StartKindName(r.Origin);
    j["frames"] = r.Frames;
    j["Score"] = r.Score;
    j["LevelNo"] = r.LevelNo;
    j["Lives"] = r.Lives;
    j["GameOvers"] = r.GameOvers;
    j["Wins"] = r.Wins;
    j["EditorUsed"] = r.EditorUsed;
    j["CheatUsed"] = r.CheatUsed;
    j["UserLevels"] = r.UserLevels;
    j["Version"] = r.Version;
    j["DataMatch"] = r.DataMatch;
    j["EndedInGameOver"] = r.EndedInGameOver;
    j["GameOverPoints"] = r.GameOverPoints;
    // The game over as its dialog found it, beside the state its answer led to above.
    if (r.EndedInGameOver)
        j["AtGameOver"] = {{"Score", r.PointsAtEnd()}, {"LevelNo", r.GameOverLevel}, {"Lives", r.GameOverLives}};
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi
