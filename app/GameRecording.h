// TGameRecording: the window's game recorded from start-up or the last new game, stored when it ends.
#pragma once
#include <QString>
#include <memory>
#include <string>

#include "game/Events.h"

namespace blubbi {

class TMainForm;
class TQtPlatform;
class TRecorder;
class TPlatform;

class TGameRecording {
public:
    // `folder`: where finished games go (empty: none are stored).
    TGameRecording(TQtPlatform& platform, QString folder);
    ~TGameRecording();

    // The game is built on it, so that every answer it gets is recorded.
    TPlatform& Face();
    // Start-up of the game (FormCreate), recorded from here; the window's events come to Take.
    void Start(TMainForm& game);
    // Takes the window's events again (after another sink had them).
    void Listen();
    void Take(const TEvent& event);

    // The replay of the game being played; while its game-over dialog is up, the game up to it.
    std::string Text();
    // Stores the game so far in the folder, when it has frames.
    void StoreGame(int32_t points);
    // Frames of the game being recorded.
    int64_t Frames() const;
    // The file the last game went to; empty when none.
    const QString& LastStored() const { return Stored; }

private:
    void StoreText(const std::string& text, int32_t points);

    TQtPlatform& Platform;
    std::unique_ptr<TRecorder> Recorder;
    TMainForm* Game = nullptr;
    QString Folder;
    QString Stored;
    bool Busy = false;    // an event runs: events arriving now come from inside its dialog
    bool Warned = false;  // the folder failed once and said so
    bool GameOver = false;
    int32_t ShownPoints = 0;
};

}  // namespace blubbi
