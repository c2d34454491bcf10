// Watching a replay from any frame, by saved states kept along it.
#include "platform/replay/Seeker.h"

#include <algorithm>

#include "game/Snapshot.h"

namespace blubbi {

void TReplaySeeker::TPlay::Start(std::string_view text, const std::string& dataDir) {
    Stop();
    Reader.emplace(text, TReplayLimits{});
    TReplayHeader header;
    Reader->ReadHeader(header);
    Platform->Width = header.Width;
    Platform->Height = header.Height;
    Player.emplace(*Platform, std::move(header), *Reader, dataDir);
    Player->OnResize = [p = Platform](int w, int h) {
        p->Width = w;
        p->Height = h;
    };
    Game.emplace(*Player);
    Player->Create(*Game);
    Over = false;
}

void TReplaySeeker::TPlay::Stop() {
    if (Game) Game->FormDestroy();
    Game.reset();
    Player.reset();
}

TReplaySeeker::TReplaySeeker(std::string_view text, std::string dataDir, TNullPlatform& shown, TNullPlatform& ahead)
    : Text(text), DataDir(std::move(dataDir)) {
    Shown.Platform = &shown;
    Ahead.Platform = &ahead;
    Shown.Start(Text, DataDir);
    Ahead.Start(Text, DataDir);
}

TReplaySeeker::~TReplaySeeker() {
    Shown.Stop();
    Ahead.Stop();
}

void TReplaySeeker::PlayTo(int64_t frame) { Play(frame, kPictureFrames); }

void TReplaySeeker::Play(int64_t frame, int64_t pictures) {
    while (!Shown.Over && Frame() < frame) {
        if (Draw) Draw(Frame() + 1 + pictures >= frame, Frame() + 1 >= frame);
        Shown.Over = !Shown.Player->Step(*Shown.Game);
    }
    if (Draw) Draw(true, true);
}

bool TReplaySeeker::Scout(int64_t frames) {
    const int64_t until = Scouted() + frames;
    while (!Ahead.Over && Scouted() < until) {
        Ahead.Over = !Ahead.Player->Step(*Ahead.Game);
        if (Ahead.Player->Found.EditorUsed) Keeping = false;
        const int64_t at = Scouted();
        if (!Keeping || Ahead.Over || at % kStateEvery != 0 || (!States.empty() && States.back().Frame >= at)) continue;
        States.push_back(
            {at, SaveState(*Ahead.Game), Ahead.Player->Place(), Ahead.Platform->Width, Ahead.Platform->Height});
    }
    return !Ahead.Over;
}

void TReplaySeeker::Seek(int64_t frame) {
    // The states are kept by the play ahead: it goes at least as far as the frame asked for.
    if (frame > Scouted()) Scout(frame - Scouted());
    // The frame shown needs pictures of its own only, but in a level's slide, which shows pictures of
    // earlier frames: a frame in one is played again from further back, with pictures for those.
    // Before the first state the game starts anew either way: once, with them.
    if (States.empty() || frame - 1 < States.front().Frame) return GoTo(frame, kPictureFrames, false);
    GoTo(frame, 1, false);
    if (Shown.Game->TransitionCounter % 100 != 0) GoTo(frame, kPictureFrames, true);
}

void TReplaySeeker::GoTo(int64_t frame, int64_t pictures, bool again) {
    // The latest state early enough that the frames with pictures all come after it.
    const auto after = std::upper_bound(States.begin(), States.end(), frame - pictures,
                                        [](int64_t f, const TState& s) { return f < s.Frame; });
    const TState* from = after == States.begin() ? nullptr : &*(after - 1);
    const int64_t startAt = from ? from->Frame : 0;
    // Going on from where the shown game stands is as good when it stands between that state and the frame.
    if (again || frame < Frame() || Frame() < startAt) {
        if (from == nullptr) {
            Shown.Start(Text, DataDir);
        } else {
            Shown.Platform->Width = from->Width;
            Shown.Platform->Height = from->Height;
            LoadState(*Shown.Game, from->Bytes.data(), from->Bytes.size());
            Shown.Player->Return(from->Place);
            Shown.Over = false;
        }
    }
    Play(frame, pictures);
}

}  // namespace blubbi
