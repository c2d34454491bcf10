// TReplayView: a replay shown in the window, at its own clock times a speed; keys do not steer it.
#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <string>

#include "platform/replay/Replay.h"

namespace blubbi {

class TReplayView {
public:
    // `screen` draws (the window's platform); the replay's levels come from `dataDir`.
    TReplayView(TPlatform& screen, TReplay replay, const std::string& dataDir);
    ~TReplayView();
    TReplayView(const TReplayView&) = delete;
    TReplayView& operator=(const TReplayView&) = delete;

    TMainForm& Game() { return *GameForm; }
    const TReplayPlayer& Player() const { return *PlayerPtr; }

    // Plays what is due by now; false once the replay is over (played to its end or gone wrong).
    bool Advance();
    // 1, 2 or 4 times the recorded speed, from now on.
    void SetSpeed(int factor);
    int Speed() const { return Factor; }
    bool Over() const { return !PlayerPtr->Running(); }
    // How it ended, as the status bar says it.
    QString Outcome() const;

    // Stands still, or goes on from where it stood.
    void SetPaused(bool paused);
    bool Paused() const { return Halted; }
    // The frames played so far, of how many; played from the start again to `frame` (drawn on the way).
    int64_t Frame() const { return PlayerPtr->Found.Frames; }
    int64_t Frames() const { return Length; }
    void SeekTo(int64_t frame);

    // The replay's file as it was read.
    QByteArray Source;

    // A wait longer than this (a dialog the recorded player sat in) passes at once.
    static constexpr int64_t kLongestWaitMs = 1000;

private:
    // The game on a new player, from the replay's start.
    void Begin();

    class TViewPlatform;
    std::unique_ptr<TViewPlatform> Face;
    std::unique_ptr<TReplayPlayer> PlayerPtr;
    std::unique_ptr<TMainForm> GameForm;
    QElapsedTimer Real;
    int64_t LastReal = 0;
    int64_t Ahead = 0;  // replay time that may pass beyond the player's clock
    int Factor = 1;
    bool Halted = false;
    TPlatform& Screen;
    TReplay Recorded;
    std::string DataDir;
    int64_t Length = 0;
};

}  // namespace blubbi
