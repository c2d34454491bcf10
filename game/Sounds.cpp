// Sound cues and music through media command strings: the cue table, the switches, the keep-alive.
#include <array>
#include <string>

#include "game/MainForm.h"

namespace blubbi {

namespace {

struct TCueFile {
    TCue Cue;
    const char* Alias;
    const char* File;  // relative to AppDir
};

// Opening and closing both run in this order; row i is the sound TCue i.
constexpr std::array<TCueFile, kCueCount> kCues{{
    {TCue::Blasen, "blasen", "sound/blasen.wav"},
    {TCue::Platzen, "platzen", "sound/platzen.wav"},
    {TCue::Springen, "springen", "sound/springen.wav"},
    {TCue::Feder, "feder", "sound/feder.wav"},
    {TCue::Sammeln, "sammeln", "sound/sammeln.wav"},
    {TCue::Getroffen, "getroffen", "sound/getroffen.wav"},
    {TCue::Musik, "musik", "sound/getspeed6.mid"},
}};

constexpr bool RowsFollowTheCues() {
    for (size_t i = 0; i < kCues.size(); ++i)
        if (static_cast<size_t>(kCues[i].Cue) != i) return false;
    return true;
}
static_assert(RowsFollowTheCues(), "the cue table must be in the order of TCue");

std::string Alias(TCue cue) { return kCues[static_cast<size_t>(cue)].Alias; }

// The mode answered this long after a (re)start is the "still playing" reference.
constexpr uint32_t kSettleMs = 1000;

// The answer buffer of the status command holds 255 characters and its terminator.
constexpr size_t kModeBufferChars = 255;

void StartMusic(TMainForm& f) {
    f.Platform.SendMediaCommand("play " + Alias(TCue::Musik) + " from 0");
    f.MusicJustStarted = 1;
    f.MusicStartTick = f.Now();
}

std::string AskMusicMode(TMainForm& f) {
    std::string mode = f.Platform.SendMediaCommand("status " + Alias(TCue::Musik) + " mode");
    if (mode.size() > kModeBufferChars) mode.resize(kModeBufferChars);
    return mode;
}

}  // namespace

void TMainForm::OpenSounds() {
    for (const TCueFile& cue : kCues)
        Platform.SendMediaCommand("open \"" + AppDir + cue.File + "\" alias " + cue.Alias);
    // The music starts whatever the switch says; a switched-off game simply never keeps it alive.
    StartMusic(*this);
}

void TMainForm::PlayCue(TCue cue) {
    if (!SoundEnabled) return;
    Platform.SendMediaCommand("play " + Alias(cue) + " from 0");
}

void TMainForm::MusicKeepAlive() {
    if (MusicJustStarted) {
        // Elapsed time rather than start + 1000, so the settle time survives the tick counter's wrap.
        if (Now() - MusicStartTick < kSettleMs) return;
        MusicModeNow = AskMusicMode(*this);
        MusicModeSaved = MusicModeNow;
        MusicJustStarted = 0;
        return;
    }
    MusicModeNow = AskMusicMode(*this);
    // Any change from the reference counts as "ended"; a device that answers the same after the
    // end never gets the music restarted, and that is accepted.
    if (MusicModeNow != MusicModeSaved) StartMusic(*this);
}

void TMainForm::CloseSounds() {
    for (const TCueFile& cue : kCues) Platform.SendMediaCommand(std::string("close ") + cue.Alias);
}

// A switched-off music was stopped and stays so.
void TMainForm::PauseMusic(bool paused) {
    if (MusicEnabled) Platform.SendMediaCommand((paused ? "pause " : "resume ") + Alias(TCue::Musik));
}

void TMainForm::Hintergrundmusik1Click() {
    MusicEnabled = MusicEnabled ? 0 : 1;
    if (MusicEnabled) {
        StartMusic(*this);
        if (Paused) Platform.SendMediaCommand("pause " + Alias(TCue::Musik));  // it sounds once the game goes on
    } else
        Platform.SendMediaCommand("stop " + Alias(TCue::Musik));
}

// An effect that is sounding plays to its end; nothing is sent.
void TMainForm::Soundeffekte1Click() { SoundEnabled = SoundEnabled ? 0 : 1; }

}  // namespace blubbi
