// A replay to watch from any frame: the shown game plays forward a step at a time, while a second
// play without pictures runs ahead and keeps the game's saved state every few hundred frames, so a
// seek anywhere plays no more than that many frames from the nearest state before it, with pictures
// for the last one (or, in a level's slide, for those the slide shows again).
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/headless/NullPlatform.h"
#include "platform/replay/Replay.h"

namespace blubbi {

class TReplaySeeker {
public:
    // Frames between two kept states.
    static constexpr int64_t kStateEvery = 200;
    // Frames before the one shown that are played with pictures: a level's slide shows the pictures
    // of earlier frames (the old level's last one, the new level's first), at most 51 frames back.
    static constexpr int64_t kPictureFrames = 60;

    // `text` must outlive the seeker and have passed CheckReplay. `shown` draws the shown game,
    // `ahead` serves the play that runs ahead (pictures without pixels will do); the seeker sets
    // their paint box as the replay's resize lines say.
    TReplaySeeker(std::string_view text, std::string dataDir, TNullPlatform& shown, TNullPlatform& ahead);
    ~TReplaySeeker();
    TReplaySeeker(const TReplaySeeker&) = delete;
    TReplaySeeker& operator=(const TReplaySeeker&) = delete;

    // Before each event of the shown game: whether it is to make pictures, and whether it is the
    // last one before the frame asked for (what it presents is shown).
    std::function<void(bool pictures, bool shown)> Draw;

    int64_t Frame() const { return Shown.Player->Found.Frames; }
    bool Over() const { return Shown.Over; }
    // Plays forward until `frame` frames have run (past the last one: to the replay's end line).
    void PlayTo(int64_t frame);
    // To `frame` from wherever the shown game is.
    void Seek(int64_t frame);
    // The play ahead keeps states for up to `frames` frames more; false once it came to the end.
    bool Scout(int64_t frames);
    int64_t Scouted() const { return Ahead.Player->Found.Frames; }
    size_t StatesKept() const { return States.size(); }

    const TMainForm& Game() const { return *Shown.Game; }
    const TReplayPlayer& Player() const { return *Shown.Player; }

private:
    // Plays on to `frame`, the last `pictures` frames with pictures.
    void Play(int64_t frame, int64_t pictures);
    // To `frame` from the latest state before its frames with pictures, or on from where the shown
    // game stands when that is between them (unless `again`).
    void GoTo(int64_t frame, int64_t pictures, bool again);

    struct TPlay {
        TNullPlatform* Platform = nullptr;
        std::optional<TReplayReader> Reader;
        std::optional<TReplayPlayer> Player;
        std::optional<TMainForm> Game;
        bool Over = false;
        void Start(std::string_view text, const std::string& dataDir);
        void Stop();
    };
    struct TState {
        int64_t Frame = 0;
        std::vector<uint8_t> Bytes;
        TReplayPlayer::TPlace Place;
        int Width = 0, Height = 0;
    };

    std::string_view Text;
    std::string DataDir;
    TPlay Shown, Ahead;
    std::vector<TState> States;  // by frame
    bool Keeping = true;         // the editor's history is no state: none is kept after it was used
};

}  // namespace blubbi
