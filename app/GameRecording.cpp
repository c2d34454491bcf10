// The game's recording in the window: every event through the recorder, each finished game into a file.
#include "app/GameRecording.h"

#include <QDateTime>
#include <QFile>
#include <charconv>
#include <iostream>

#include "app/QtPlatform.h"
#include "app/ReplayFiles.h"
#include "game/MainForm.h"
#include "platform/replay/Replay.h"

namespace blubbi {

TGameRecording::TGameRecording(TQtPlatform& platform, QString folder)
    : Platform(platform), Recorder(std::make_unique<TRecorder>(platform)), Folder(std::move(folder)) {
    Platform.OnGameOver = [this](const std::string& points) {
        GameOver = true;
        ShownPoints = 0;
        std::from_chars(points.data(), points.data() + points.size(), ShownPoints);
    };
}

TGameRecording::~TGameRecording() {
    Platform.Sink = nullptr;
    Platform.OnGameOver = nullptr;
}

TPlatform& TGameRecording::Face() { return *Recorder; }

int64_t TGameRecording::Frames() const { return Recorder->Frames(); }

void TGameRecording::Start(TMainForm& game) {
    Game = &game;
    Recorder->Begin(Platform.ProgramDir(), 1, Platform.GetTickCount());
    Recorder->Create(game);
    Listen();
}

void TGameRecording::Listen() {
    Platform.Sink = [this](const TEvent& e) { Take(e); };
}

void TGameRecording::Take(const TEvent& event) {
    if (Busy) {  // from inside a dialog of the event that runs: the recorder holds it for later
        Recorder->Record(*Game, event);
        return;
    }
    // "Neues Spiel" ends the game before it as it stood, a game over once its dialog is answered;
    // the recorder goes on with the next game's replay by itself.
    const int32_t points = Game->Score;
    GameOver = false;
    Busy = true;
    Recorder->Record(*Game, event);
    Busy = false;
    if (!Recorder->Finished().empty() && Recorder->FinishedFrames() > 0)
        StoreText(Recorder->Finished(), GameOver ? ShownPoints : points);
    GameOver = false;
}

std::string TGameRecording::Text() {
    std::string text = Recorder->GameOverText();
    return text.empty() ? Recorder->Text(*Game) : text;
}

void TGameRecording::StoreGame(int32_t points) {
    if (!Game || Recorder->Frames() == 0) return;
    StoreText(Text(), points);
}

void TGameRecording::StoreText(const std::string& text, int32_t points) {
    if (Folder.isEmpty()) return;
    QString error;
    const QString path =
        replays::Store(Folder, QByteArray::fromStdString(text), points, QDateTime::currentDateTime(), error);
    if (!path.isEmpty()) {
        Stored = path;
        return;
    }
    // Once is enough: the game goes on unrecorded on disk.
    if (!Warned)
        std::cerr << "blubbi: replays are not stored, " << QFile::encodeName(Folder).toStdString()
                  << " cannot be written: " << error.toStdString() << std::endl;
    Warned = true;
}

}  // namespace blubbi
