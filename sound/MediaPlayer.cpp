// The media command strings of the game, interpreted on SDL2_mixer.
#include "sound/MediaPlayer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "sound/MidiLength.h"

namespace blubbi {

namespace {

// 44100 Hz stereo with 1024-sample buffers: about 23 ms from a key press to the ear.
constexpr int kRate = 44100;
constexpr int kBufferSamples = 1024;
constexpr double kBufferSeconds = static_cast<double>(kBufferSamples) / kRate;

const char* const kDebianSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsMusicFile(const std::string& path) {
    const std::string ext = Lower(std::filesystem::path(path).extension().string());
    return ext == ".mid" || ext == ".midi" || ext == ".rmi";
}

// Words separated by blanks; a word may be a double-quoted run that holds blanks.
// An unclosed quote makes the whole command malformed.
std::optional<std::vector<std::string>> Split(const std::string& command) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = command.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < n) {
        if (blank(command[i])) {
            ++i;
            continue;
        }
        if (command[i] == '"') {
            const size_t close = command.find('"', i + 1);
            if (close == std::string::npos) return std::nullopt;
            if (close + 1 < n && !blank(command[close + 1])) return std::nullopt;
            words.push_back(command.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const size_t start = i;
        while (i < n && !blank(command[i])) ++i;
        words.push_back(command.substr(start, i - start));
    }
    return words;
}

// Said once per run, not once per player.
void SayNoSoundFont() {
    static bool said = false;
    if (said) return;
    said = true;
    std::fprintf(stderr,
                 "Blubbi Blubbo: no General MIDI soundfont found, so the game plays without music. "
                 "The Debian package timgm6mb-soundfont brings one.\n");
}

// Whether FluidSynth reads the file as a soundfont. Only its structure is read (the samples
// would load when a note needs them); that still takes some 50 ms, so it is done for fonts the
// user names, while the installed packages' fonts are only asked for a soundfont's header.
bool SoundFontReadable(const std::string& path) {
    if (!IsFile(path)) return false;
    // Its complaints about a file we then pass over would only confuse.
    const fluid_log_function_t previous = fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_settings_t* settings = fluid_is_soundfont(path.c_str()) ? new_fluid_settings() : nullptr;
    bool readable = false;
    if (settings) {
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        if (fluid_synth_t* synth = new_fluid_synth(settings)) {
            readable = fluid_synth_sfload(synth, path.c_str(), 0) != FLUID_FAILED;
            delete_fluid_synth(synth);
        }
        delete_fluid_settings(settings);
    }
    fluid_set_log_function(FLUID_ERR, previous, nullptr);
    return readable;
}

}  // namespace

std::string FindSoundFont() {
    if (const char* env = std::getenv("SDL_SOUNDFONTS")) {
        const std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            std::string entry = list.substr(start, end - start);
            if (SoundFontReadable(entry)) return entry;
            if (IsFile(entry))
                std::fprintf(stderr, "Blubbi Blubbo: %s is no soundfont FluidSynth can read.\n", entry.c_str());
            start = end + 1;
        }
    }
    for (const char* path : kDebianSoundFonts)
        if (IsFile(path) && fluid_is_soundfont(path)) return path;
    return {};
}

void TMediaPlayer::AfterMix(void* self, uint8_t* stream, int bytes) {
    auto* player = static_cast<TMediaPlayer*>(self);
    if (bytes <= 0) return;
    const int frames = bytes / player->FrameBytes;
    if (player->FloatMix) player->Limiter.Process(reinterpret_cast<float*>(stream), frames, player->DeviceChannels);
    player->MixedFrames += static_cast<uint64_t>(frames);
}

TMediaPlayer::TMediaPlayer() {
    Font = FindSoundFont();
    if (Font.empty())
        SayNoSoundFont();
    else
        Mix_SetSoundFonts(Font.c_str());  // just this one: each extra font costs load time and memory
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SdlAudio = true;
    Mix_Init(MIX_INIT_MID);
    // Mixed in floating point, so that a sum beyond full scale reaches the limiter whole
    // instead of being cut off sample by sample; SDL hands the device what it takes.
    if (Mix_OpenAudio(kRate, AUDIO_F32SYS, 2, kBufferSamples) != 0) return;
    ChannelsAllocated = Mix_AllocateChannels(0);
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate, &format, &channels) && rate > 0 && channels > 0) {
        DeviceRate = rate;
        DeviceChannels = channels;
        FrameBytes = channels * static_cast<int>(SDL_AUDIO_BITSIZE(format) / 8);
        FloatMix = format == AUDIO_F32SYS;
        Limiter = TLimiter(kCeiling, rate, kReleaseSeconds);
    }
    Mix_VolumeMusic(kMusicVolume);
    Mix_SetPostMix(&TMediaPlayer::AfterMix, this);
    AudioReady = true;
}

TMediaPlayer::~TMediaPlayer() {
    if (AudioReady) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HaltMusic();
        Mix_HaltChannel(-1);
        while (!Sounds.empty()) Close(Sounds.begin()->first);
        Mix_CloseAudio();
    }
    if (SdlAudio) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

std::string TMediaPlayer::Send(const std::string& command) {
    const auto parsed = Split(command);
    if (!parsed || parsed->empty() || !AudioReady) return {};
    const std::vector<std::string>& w = *parsed;
    const std::string verb = Lower(w[0]);

    if (verb == "open") {
        if (w.size() != 4 || Lower(w[2]) != "alias") return {};
        return Load(w[1], Lower(w[3]));
    }
    if (verb == "close" && w.size() == 2 && Lower(w[1]) == "all") {
        while (!Sounds.empty()) Close(Sounds.begin()->first);
        return {};
    }
    if (w.size() < 2) return {};
    const auto found = Sounds.find(Lower(w[1]));
    if (found == Sounds.end()) return {};
    return SendTo(found->first, found->second, verb, w);
}

std::string TMediaPlayer::SendTo(const std::string& alias, TSound& sound, const std::string& verb,
                                 const std::vector<std::string>& w) {
    if (verb == "play") {
        // Only the start is a place to play from: the game never asks for another.
        const bool fromStart = w.size() == 2 || (w.size() == 4 && Lower(w[2]) == "from" && w[3] == "0");
        return fromStart ? Play(sound) : std::string();
    }
    if (verb == "stop" && w.size() == 2) return Stop(sound);
    if ((verb == "pause" || verb == "resume") && w.size() == 2) {
        Pause(sound, verb == "pause");
        return {};
    }
    if (verb == "status" && w.size() == 3 && Lower(w[2]) == "mode") return Status(sound);
    if (verb == "close" && w.size() == 2) Close(alias);
    return {};
}

std::string TMediaPlayer::Load(const std::string& path, const std::string& alias) {
    if (Sounds.count(alias) || !IsFile(path)) return {};
    TSound sound;
    if (IsMusicFile(path)) {
        // Loaded once and kept: every load builds a new synthesizer with its soundfont.
        sound.Music = Mix_LoadMUS(path.c_str());
        if (!sound.Music) return {};
        sound.Seconds = MidiFileSeconds(path);
    } else {
        sound.Chunk = LoadEffect(path);
        if (!sound.Chunk) return {};
        // Each effect owns a channel, so playing it again cuts it off and starts it anew.
        int channel = 0;
        auto taken = [this](int c) {
            return std::any_of(Sounds.begin(), Sounds.end(), [c](const auto& s) { return s.second.Channel == c; });
        };
        while (taken(channel)) ++channel;
        if (channel >= ChannelsAllocated) ChannelsAllocated = Mix_AllocateChannels(channel + 1);
        if (channel >= ChannelsAllocated) {
            Mix_FreeChunk(sound.Chunk);
            return {};
        }
        sound.Channel = channel;
        Mix_Volume(channel, kEffectVolume);
    }
    Sounds.emplace(alias, sound);
    return {};
}

Mix_Chunk* TMediaPlayer::LoadEffect(const std::string& path) {
    // The header is read and checked before the mixer converts anything.
    std::error_code ec;
    const uintmax_t fileBytes = std::filesystem::file_size(path, ec);
    if (ec || fileBytes > kMaxEffectFileBytes) return nullptr;
    SDL_AudioSpec wav{};
    Uint8* samples = nullptr;
    Uint32 bytes = 0;
    if (!SDL_LoadWAV(path.c_str(), &wav, &samples, &bytes)) return nullptr;
    SDL_FreeWAV(samples);
    const int frameBytes = wav.channels * static_cast<int>(SDL_AUDIO_BITSIZE(wav.format) / 8);
    if (wav.freq < kMinEffectRate || wav.freq > kMaxEffectRate || frameBytes <= 0) return nullptr;
    const Uint32 frames = bytes / static_cast<Uint32>(frameBytes);
    if (static_cast<double>(frames) / wav.freq > kMaxEffectSeconds) return nullptr;
    return Mix_LoadWAV(path.c_str());
}

std::string TMediaPlayer::Play(TSound& sound) {
    if (sound.Chunk) {
        Mix_PlayChannel(sound.Channel, sound.Chunk, 0);
    } else if (sound.Music) {
        // Once only: the game's keep-alive restarts the piece when it has ended.
        if (Mix_PlayMusic(sound.Music, 0) == 0) {  // a new start also ends a pause
            Playing = sound.Music;
            MusicPaused = false;
            PlayingFromFrame = MixedFrames.load();
        }
    }
    return {};
}

std::string TMediaPlayer::Stop(TSound& sound) {
    if (sound.Chunk) {
        Mix_HaltChannel(sound.Channel);
    } else if (sound.Music && Playing == sound.Music) {
        Mix_HaltMusic();
        Playing = nullptr;
        MusicPaused = false;
    }
    return {};
}

void TMediaPlayer::Pause(TSound& sound, bool pause) {
    if (!sound.Music || Playing != sound.Music || pause == MusicPaused) return;
    MusicPaused = pause;
    if (pause) {
        Mix_PauseMusic();
        PausedAtFrame = MixedFrames.load();
    } else {
        // The mixer went on putting out silence; none of it is the piece's.
        PlayingFromFrame += MixedFrames.load() - PausedAtFrame;
        Mix_ResumeMusic();
    }
}

std::string TMediaPlayer::Status(TSound& sound) {
    if (sound.Chunk) return Mix_Playing(sound.Channel) ? "playing" : "stopped";
    if (!sound.Music || Playing != sound.Music || !Mix_PlayingMusic()) return "stopped";
    // The synthesizer goes on for about two silent seconds after the last event before it
    // calls the piece done; the game restarts the music on "stopped", so that would be a gap
    // in every loop. The piece's own length, plus one buffer on its way out, is the end.
    const double played = static_cast<double>(MixedFrames.load() - PlayingFromFrame) / DeviceRate;
    if (sound.Seconds > 0 && played >= sound.Seconds + kBufferSeconds) {
        Stop(sound);
        return "stopped";
    }
    return "playing";
}

void TMediaPlayer::Close(const std::string& alias) {
    const auto found = Sounds.find(alias);
    if (found == Sounds.end()) return;
    TSound& sound = found->second;
    if (sound.Chunk) {
        Mix_HaltChannel(sound.Channel);
        Mix_FreeChunk(sound.Chunk);
    }
    if (sound.Music) {
        if (Playing == sound.Music) {
            Mix_HaltMusic();
            Playing = nullptr;
            MusicPaused = false;
        }
        Mix_FreeMusic(sound.Music);
    }
    Sounds.erase(found);
}

}  // namespace blubbi
