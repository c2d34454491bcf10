// The player: a replay played into a game, its clock and every answer taken from the replay.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "game/MenuCommands.h"
#include "game/Snapshot.h"
#include "platform/replay/Carry.h"
#include "platform/replay/Replay.h"
#include "platform/replay/ReplayShared.h"

namespace blubbi {

namespace fs = std::filesystem;

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

}  // namespace blubbi
