// TMediaPlayer: the game's media command strings played through SDL2_mixer.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sound/Limiter.h"

struct Mix_Chunk;
struct _Mix_Music;  // NOLINT(bugprone-reserved-identifier): SDL_mixer's own name for Mix_Music

namespace blubbi {

// Understands the commands the game sends, case-insensitively:
//   open "<path>" alias <name>   .mid/.midi/.rmi load as music, anything else as an effect
//   play <name> [from 0]          an effect restarts on its own channel; music plays once
//   stop <name>
//   pause <name> | resume <name>  music holds where it is and goes on from there; its length
//                                 counts only the time it sounded
//   status <name> mode            "playing" or "stopped"; music says "stopped" once its length
//                                 has passed, though the synthesizer lingers some seconds more
//   close <name> | close all
// Every answer but the status is empty. Anything that fails (no audio device, a missing file,
// no soundfont, an unknown alias, a malformed command) answers empty and does nothing else.
// An effect is a WAV file of a plausible rate lasting at most kMaxEffectSeconds; any other
// file is refused as a missing one is. One player per process: SDL_mixer is process-wide.
class TMediaPlayer {
public:
    // Effects are converted to the device's format when they open, so a header claiming 1 Hz
    // would turn a few bytes into gigabytes; these bound what an effect can take (about
    // 20 s x 44100 Hz x 2 channels x 4 bytes = 7 MB), and the file it is read from.
    static constexpr int kMinEffectRate = 4000;
    static constexpr int kMaxEffectRate = 192000;
    static constexpr double kMaxEffectSeconds = 20.0;
    static constexpr uintmax_t kMaxEffectFileBytes = uintmax_t{32} << 20;

    // The mix, in the mixer's volumes of 0 to 128: the effects, all made equally loud (-20 dB
    // of full scale), sound some 7 dB above the music. The mixer adds in floating point, and
    // the limiter holds whatever comes together under the ceiling, so no sum is ever cut off.
    static constexpr int kEffectVolume = 100;
    static constexpr int kMusicVolume = 80;
    static constexpr float kCeiling = 0.9f;
    static constexpr double kReleaseSeconds = 0.08;

    TMediaPlayer();
    ~TMediaPlayer();
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    std::string Send(const std::string& command);

    // True once the audio device is open.
    bool AudioOpen() const { return AudioReady; }
    // The soundfont handed to the MIDI synthesizer; empty when none was found.
    const std::string& SoundFont() const { return Font; }

private:
    struct TSound {
        Mix_Chunk* Chunk = nullptr;   // an effect, or
        _Mix_Music* Music = nullptr;  // a piece of music
        int Channel = -1;             // the effect's own mixing channel
        double Seconds = -1;          // the music's length; below 0 when unknown
    };

    std::string Load(const std::string& path, const std::string& alias);
    // A command to one loaded sound.
    std::string SendTo(const std::string& alias, TSound& sound, const std::string& verb,
                       const std::vector<std::string>& w);
    static Mix_Chunk* LoadEffect(const std::string& path);
    std::string Play(TSound& sound);
    std::string Stop(TSound& sound);
    void Pause(TSound& sound, bool pause);
    std::string Status(TSound& sound);
    void Close(const std::string& alias);

    bool AudioReady = false;
    bool SdlAudio = false;
    std::string Font;
    std::map<std::string, TSound> Sounds;  // by lower-case alias
    int ChannelsAllocated = 0;
    const _Mix_Music* Playing = nullptr;  // the music last started
    // Runs on the audio thread with every mixed buffer: limits it and keeps the audio clock,
    // the frames the mixer has put out. Wall time would drift from it whenever the device
    // runs late.
    static void AfterMix(void* self, uint8_t* stream, int bytes);
    std::atomic<uint64_t> MixedFrames{0};
    uint64_t PlayingFromFrame = 0;
    bool MusicPaused = false;
    uint64_t PausedAtFrame = 0;
    int DeviceRate = 44100;
    int DeviceChannels = 2;
    int FrameBytes = 8;
    bool FloatMix = false;
    TLimiter Limiter{kCeiling, 44100, kReleaseSeconds};
};

// The soundfont to use: the first file of $SDL_SOUNDFONTS (':'-separated) and then of the
// usual Debian places that FluidSynth reads as one; empty when there is none.
std::string FindSoundFont();

}  // namespace blubbi
