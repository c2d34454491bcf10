// Scratch folders and small sound files made on the spot for the sound tests.
#pragma once
#include <smf.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace blubbi::soundtest {

// A fresh folder under the system's temporary folder, removed with the object.
struct TScratch {
    std::filesystem::path Dir;
    TScratch() {
        static int counter = 0;
        Dir = std::filesystem::temp_directory_path() /
              ("blubbi-sound-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(Dir);
    }
    ~TScratch() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::string operator/(const std::string& name) const { return (Dir / name).string(); }
};

// What SDL's disk audio driver was sent between two byte offsets of its file: the player's
// interleaved stereo samples in floating point, full scale at 1.
inline std::vector<float> DeviceOutput(const std::string& path, size_t fromByte = 0, size_t toByte = SIZE_MAX) {
    std::ifstream in(path, std::ios::binary);
    const size_t frame = 2 * sizeof(float);
    fromByte -= fromByte % frame;
    in.seekg(static_cast<std::streamoff>(fromByte));
    std::vector<float> samples;
    float s = 0;
    for (size_t at = fromByte; at + sizeof s <= toByte && in.read(reinterpret_cast<char*>(&s), sizeof s);
         at += sizeof s)
        samples.push_back(s);
    return samples;
}

// The loudest of those samples in steps of a 16-bit sample (32767 at full scale).
inline int Loudest(const std::string& path, size_t fromByte = 0, size_t toByte = SIZE_MAX) {
    float loudest = 0;
    for (float s : DeviceOutput(path, fromByte, toByte)) loudest = std::max(loudest, std::abs(s));
    return static_cast<int>(std::lround(loudest * 32767));
}

// A 440 Hz tone at half scale, 16-bit mono.
inline bool WriteTone(const std::string& path, double seconds) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> s(static_cast<size_t>(seconds * info.samplerate));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * i / info.samplerate));
    sf_write_float(f, s.data(), static_cast<sf_count_t>(s.size()));
    return sf_close(f) == 0;
}

// A 16-bit mono WAV of `frames` samples of a square wave, whose header claims `rate` samples a
// second, whatever that rate is.
inline bool WriteWavAtRate(const std::string& path, uint32_t rate, uint32_t frames) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + 2 * frames);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    out.write("data", 4);
    u32(2 * frames);
    for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>((i / 20) % 2 ? 12000 : -12000));
    return static_cast<bool>(out);
}

// One piano note of `seconds` at 120 beats a minute, the track ending with it.
inline bool WriteShortMidi(const std::string& path, double seconds) {
    smf_t* smf = smf_new();
    if (!smf) return false;
    smf_track_t* track = smf_track_new();
    smf_add_track(smf, track);
    smf_track_add_event_seconds(track, smf_event_new_from_bytes(0xC0, 0, -1), 0);
    smf_track_add_event_seconds(track, smf_event_new_from_bytes(0x90, 72, 100), 0);
    smf_track_add_event_seconds(track, smf_event_new_from_bytes(0x80, 72, 0), seconds);
    const bool ok = smf_track_add_eot_seconds(track, seconds) == 0 && smf_save(smf, path.c_str()) == 0;
    smf_delete(smf);
    return ok;
}

}  // namespace blubbi::soundtest
