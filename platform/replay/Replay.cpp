// The recorder, the player and the check of a replay without pictures.
#include "platform/replay/Replay.h"

#include <openssl/evp.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "game/DataFiles.h"
#include "game/Snapshot.h"
#include "level/Files.h"
#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"
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

std::string DataHash(const std::string& dataDir) {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    for (const std::string& name : RuleFiles(dataDir)) {
        const std::string bytes = ReadAll(fs::path(dataDir) / name);
        const std::string head = name + '\0' + std::to_string(bytes.size()) + '\0';
        EVP_DigestUpdate(ctx, head.data(), head.size());
        EVP_DigestUpdate(ctx, bytes.data(), bytes.size());
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx, digest, &length);
    EVP_MD_CTX_free(ctx);
    return HexDigits(digest, length);
}

std::string ProgramVersion() { return BLUBBI_VERSION; }

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
    TReplayStep line;
    if (std::all_of(Run.begin(), Run.end(), [&](uint32_t step) { return step == Run[0]; })) {
        line.Repeat = static_cast<int64_t>(Run.size());
        line.Step = Run[0];
        Body += FormatStep(line) + "\n";
        Run.clear();
        return;
    }
    auto flushChars = [&] {
        if (line.Steps.empty()) return;
        Body += FormatStep(line) + "\n";
        line.Steps.clear();
    };
    for (uint32_t step : Run) {
        if (TickStepChar(step)) {
            line.Steps.push_back(static_cast<uint8_t>(step));
            continue;
        }
        flushChars();
        TReplayStep one;
        one.Step = step;
        Body += FormatStep(one) + "\n";
    }
    flushChars();
    Run.clear();
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
    if (ContinueNext) {  // from here on the replay holds a continued game
        ContinueNext = false;
        if (Header.Start != TStartKind::Continued) Header.Origin = Header.Start;
        Header.Start = TStartKind::Continued;
    }
    TReplayStep written;
    written.Event = event;
    written.Step = event.Clock - LastClock;
    const std::string line = FormatStep(written);
    // The game runs on what the line says, so it cannot differ from a playback of it.
    const auto read = ParseEventLine(line);
    if (!read) return;  // nothing the game knows (an unknown menu name)
    TEvent played = read->Event;
    played.Clock = LastClock + read->Step;
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
    Write(game, *read, line, Pending.size());
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

void TRecorder::Write(TMainForm& game, const TReplayStep& read, const std::string& line, size_t answers) {
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
    const std::string hash = Sha256Hex(bytes.data(), bytes.size());
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
    : TForwardingPlatform(inner), Data(std::move(replay)), DataDir(WithSlash(std::move(dataDir))) {
    Clock = Data.Header.Clock;
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
    Status = TPlayStatus::Malformed;
    NoScratch = true;
    Reason = "no scratch folder for the replay's files could be made";
    return {};
}

void TReplayPlayer::Create(TMainForm& game) {
    const TClockHold hold(game, Data.Header.Clock);
    game.StartLevelNo = Data.Header.Level;
    game.FormCreate();
    const TReplayHeader& h = Data.Header;
    std::string error;
    if (!h.Carry.empty() && !ApplyCarry(game, h.Carry, error)) {
        Status = TPlayStatus::Malformed;
        Line = h.CarryLine;
        Reason = error;
    }
    if (!h.StartState.empty() && !LoadState(game, h.StartState.data(), h.StartState.size())) {
        Status = TPlayStatus::Malformed;
        Line = h.StateLine;
        Reason = "the saved state it starts from is damaged";
    }
    Trail = h.DataHash + " " + StateHash(game);
}

uint32_t TReplayPlayer::NextClock() const {
    for (size_t i = At; i < Data.Steps.size(); ++i)
        if (Data.Steps[i].Kind == TReplayStep::TKind::Event) {
            const TReplayStep& s = Data.Steps[i];
            return Clock + (s.Steps.empty() ? s.Step : s.Steps[i == At ? static_cast<size_t>(RunDone) : 0]);
        }
    return Clock;
}

bool TReplayPlayer::Step(TMainForm& game) {
    while (Status == TPlayStatus::Running && At < Data.Steps.size()) {
        const TReplayStep& s = Data.Steps[At];
        Line = s.Line;
        if (s.Kind != TReplayStep::TKind::Event) {
            const std::string hash = StateHash(game);
            if (hash != s.Hash) {
                WentApart(s.Frame, "the game state differs from the recorded one");
                return false;
            }
            Trail += " " + std::to_string(s.Frame) + " " + hash;
            ++At;
            if (s.Kind == TReplayStep::TKind::End) {
                Status = TPlayStatus::Done;
                return false;
            }
            continue;
        }
        Clock += s.Steps.empty() ? s.Step : s.Steps[static_cast<size_t>(RunDone)];
        TEvent e = s.Event;
        e.Clock = Clock;
        Current = RunDone == 0 ? &s : nullptr;
        Used.assign(s.Answers.size(), false);
        MediaQueries = 0;
        EndedInGameOver = false;
        if (e.Kind == TEventKind::Resize && OnResize) OnResize(e.A, e.B);
        const int32_t levelBefore = game.LevelNo;
        const bool mouse = e.Kind == TEventKind::MouseDown || e.Kind == TEventKind::MouseMove;
        const TGrid gridBefore = mouse ? game.Grid : TGrid{};
        Dispatch(game, e);
        if (e.Kind == TEventKind::Char && game.LevelNo != levelBefore) CheatUsed = true;
        // The mouse changes the field only as the editor does, whatever switch let it.
        if (game.EditorMode || (mouse && game.Grid != gridBefore)) EditorUsed = true;
        if (e.Kind == TEventKind::Tick) ++Frames;
        if (Current && Status == TPlayStatus::Running && std::find(Used.begin(), Used.end(), false) != Used.end()) {
            WentApart(Frames, "the game asked fewer questions than the recorded one");
        }
        Current = nullptr;
        if (e.Kind == TEventKind::Tick && ++RunDone < s.Repeat) return Status == TPlayStatus::Running;
        RunDone = 0;
        ++At;
        return Status == TPlayStatus::Running;
    }
    return false;
}

void TReplayPlayer::PlayAll(TMainForm& game, int64_t frameLimit, const std::atomic<bool>* cancel) {
    while (Step(game))
        if (Frames > frameLimit || (cancel && cancel->load(std::memory_order_relaxed))) break;
}

void TReplayPlayer::WentApart(int64_t frame, std::string reason) {
    Status = TPlayStatus::Mismatch;
    MismatchFrame = frame;
    Reason = std::move(reason);
}

const TAnswer* TReplayPlayer::DialogAnswer(TAnswerKind kind, const std::string& dialog) {
    const TAnswer* a = NextAnswer(kind);
    if (!a) WentApart(Frames + 1, dialog + " the recorded game did not have");
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
    if (Status != TPlayStatus::Running) return Inner.ShowGameOverDialog(points);
    ++GameOvers;
    GameOverPoints = points;
    EndedInGameOver = true;
    Inner.ShowGameOverDialog(points);
    const TAnswer* a = DialogAnswer(TAnswerKind::GameOver, "a game-over dialog");
    if (!a) return TModalResult::Cancel;
    return a->Yes ? TModalResult::Ok : TModalResult::Cancel;
}

void TReplayPlayer::ShowWinDialog() {
    if (Status == TPlayStatus::Running) ++Wins;
    Inner.ShowWinDialog();
}

bool TReplayPlayer::OpenLevelDialog(std::string& fileName) {
    if (Status != TPlayStatus::Running) return Inner.OpenLevelDialog(fileName);
    const TAnswer* a = DialogAnswer(TAnswerKind::Open, "a file dialog");
    if (!a || !a->Yes) return false;
    if (a->OwnLevel) {
        // The first of the data's own files with these bytes.
        for (const auto& [name, hash] : OwnLevelFiles())
            if (hash == a->Text) {
                fileName = (fs::path(DataDir) / "levels" / name).string();
                return true;
            }
        WentApart(Frames + 1, "a level the game's data does not hold");
        return false;
    }
    UserLevels = true;
    const std::string scratch = Scratch();
    if (scratch.empty()) return false;
    fileName = scratch + "open-" + std::to_string(++Files) + ".lev";
    if (a->Unreadable) return true;  // a name with no file behind it: the game keeps its level
    std::ofstream out(fileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(a->Bytes.data()), static_cast<std::streamsize>(a->Bytes.size()));
    return true;
}

bool TReplayPlayer::SaveLevelDialog(std::string& fileName) {
    if (Status != TPlayStatus::Running) return Inner.SaveLevelDialog(fileName);
    const TAnswer* a = DialogAnswer(TAnswerKind::Save, "a file dialog");
    if (!a || !a->Yes) return false;
    const std::string scratch = Scratch();
    if (scratch.empty()) return false;
    fileName = scratch + a->Text;
    return true;
}

std::string TReplayPlayer::SendMediaCommand(const std::string& command) {
    std::string answer = Inner.SendMediaCommand(command);
    if (Status != TPlayStatus::Running) return answer;
    if (!IsStatusQuery(command)) return {};
    if (const TAnswer* a = NextAnswer(TAnswerKind::Media)) MediaNow = a->Text;
    ++MediaQueries;
    return MediaNow;
}

std::optional<std::vector<uint8_t>> TReplayPlayer::ReadLevelFile(const std::string& fileName) {
    if (Status != TPlayStatus::Running || !Current) return Inner.ReadLevelFile(fileName);
    const TAnswer* a = NextAnswer(TAnswerKind::Read);
    if (!a) return Inner.ReadLevelFile(fileName);  // written before reads were: the data's own file
    if (!a->Yes) return std::nullopt;
    if (!a->OwnLevel) {
        UserLevels = true;
        return a->Bytes;
    }
    // One of the game's own levels: the very file asked for, with the recorded bytes.
    const auto& levels = OwnLevelFiles();
    const auto own = OwnLevelName(DataDir, fileName);
    const auto it = own ? levels.find(*own) : levels.end();
    if (it == levels.end() || it->second != a->Text) {
        WentApart(Frames + 1, "a level the game's data does not hold");
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
    TVerifyResult result;
    TReplayError error;
    auto replay = ParseReplay(replayText, limits.Text, error);
    if (!replay) {
        result.Status = TVerifyResult::TStatus::Malformed;
        result.Line = error.Line;
        result.Reason = error.Message;
        return result;
    }
    result.Version = replay->Header.Program;
    result.DataHash = replay->Header.DataHash;
    result.DataMatch = replay->Header.DataHash == CachedDataHash(WithSlash(dataDir));

    THeadlessPlatform inner;
    inner.Dir = WithSlash(dataDir);
    inner.Width = replay->Header.Width;
    inner.Height = replay->Header.Height;
    // Only whether a sheet is there counts for the rules; its pixels do not.
    inner.Loader = [](const std::string& file) {
        std::error_code ec;
        return fs::is_regular_file(file, ec) ? THeadlessPlatform::MakeDib(19, 19) : TDib{};
    };
    TReplayPlayer player(inner, std::move(*replay), dataDir);
    player.OnResize = [&inner](int w, int h) {
        inner.Width = w;
        inner.Height = h;
    };
    TMainForm game(player);
    player.Create(game);
    player.PlayAll(game, limits.MaxFrames, limits.Cancel);

    result.Frames = player.Frames;
    result.Score = game.Score;
    result.LevelNo = game.LevelNo;
    result.Lives = game.Lives;
    result.GameOvers = player.GameOvers;
    result.Wins = player.Wins;
    result.EditorUsed = player.EditorUsed;
    result.CheatUsed = player.CheatUsed;
    result.UserLevels = player.UserLevels;
    result.EndedInGameOver = player.EndedInGameOver;
    result.GameOverPoints = player.GameOverPoints;
    result.EndHash = StateHash(game);
    result.Start = player.Replay().Header.Start;
    result.StartLevel = player.Replay().Header.Level;
    if (player.Status == TPlayStatus::Done) result.GameId = Sha256Hex(player.Trail.data(), player.Trail.size());
    result.Origin = player.Replay().Header.Origin;
    switch (player.Status) {
        case TPlayStatus::Done: result.Status = TVerifyResult::TStatus::Ok; break;
        case TPlayStatus::Mismatch:
            result.Status = TVerifyResult::TStatus::Mismatch;
            result.Frame = player.MismatchFrame;
            result.Line = player.Line;
            result.Reason = player.Reason;
            break;
        case TPlayStatus::Malformed:
            // A check that could not go on for want of a scratch folder says nothing of the replay.
            result.Status = player.NoScratch ? TVerifyResult::TStatus::Cancelled : TVerifyResult::TStatus::Malformed;
            result.Line = player.Line;
            result.Reason = player.Reason;
            break;
        case TPlayStatus::Running:
            result.Line = player.Line;
            if (player.Frames <= limits.MaxFrames && limits.Cancel && limits.Cancel->load()) {
                result.Status = TVerifyResult::TStatus::Cancelled;
                result.Reason = "stopped before its end";
            } else {
                result.Status = TVerifyResult::TStatus::LimitExceeded;
                result.Reason = "more frames than a check may play";
            }
            break;
    }
    game.FormDestroy();
    return result;
}

std::string VerifyJson(const TVerifyResult& r) {
    nlohmann::ordered_json j;
    static const char* names[] = {"ok", "mismatch", "malformed", "limit", "cancelled"};
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
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi
