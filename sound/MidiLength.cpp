// Reads a MIDI file's tracks just far enough to know when it ends: delta times, tempo changes,
// and the lengths of everything else so it can be skipped.
#include "sound/MidiLength.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace blubbi {

namespace {

constexpr size_t kMaxFileBytes = 16u << 20;
constexpr uint32_t kDefaultTempo = 500000;  // microseconds a quarter: 120 beats a minute

struct TReader {
    const std::vector<uint8_t>& Bytes;
    size_t At = 0;
    size_t End = 0;  // of the chunk being read

    bool Has(size_t n) const { return n <= End && At <= End - n; }
    std::optional<uint32_t> Big(size_t n) {
        if (!Has(n)) return std::nullopt;
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | Bytes[At++];
        return v;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    std::optional<uint32_t> Vlq() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            if (!Has(1)) return std::nullopt;
            const uint8_t b = Bytes[At++];
            v = (v << 7) | (b & 0x7Fu);
            if (!(b & 0x80u)) return v;
        }
        return std::nullopt;
    }
    bool Skip(size_t n) {
        if (!Has(n)) return false;
        At += n;
        return true;
    }
};

// One track: its end tick, and its tempo changes added to `tempi`.
std::optional<uint64_t> ReadTrack(TReader& r, std::multimap<uint64_t, uint32_t>& tempi) {
    uint64_t tick = 0;
    uint8_t running = 0;
    while (r.At < r.End) {
        const auto delta = r.Vlq();
        if (!delta) return std::nullopt;
        tick += *delta;
        if (!r.Has(1)) return std::nullopt;
        uint8_t status = r.Bytes[r.At];
        if (status & 0x80u) {
            ++r.At;
        } else {
            if (!running) return std::nullopt;  // a data byte with no status to run on
            status = running;
        }
        if (status == 0xFF) {
            const auto type = r.Big(1);
            const auto length = type ? r.Vlq() : std::nullopt;
            if (!length) return std::nullopt;
            if (*type == 0x2F) return tick;  // end of track
            if (*type == 0x51 && *length == 3) {
                const auto tempo = r.Big(3);
                if (!tempo) return std::nullopt;
                if (*tempo > 0) tempi.emplace(tick, *tempo);
            } else if (!r.Skip(*length)) {
                return std::nullopt;
            }
            running = 0;
        } else if (status == 0xF0 || status == 0xF7) {
            const auto length = r.Vlq();
            if (!length || !r.Skip(*length)) return std::nullopt;
            running = 0;
        } else if (status >= 0xF0) {
            return std::nullopt;  // system messages have no place in a file
        } else {
            const uint8_t kind = status & 0xF0u;
            const size_t data = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            // Under running status the first data byte is the one just looked at, still unread.
            if (!r.Skip(data)) return std::nullopt;
            running = status;
        }
    }
    return tick;  // a track may end with its chunk instead of an end-of-track event
}

}  // namespace

double MidiSeconds(const std::vector<uint8_t>& bytes) {
    TReader r{bytes, 0, bytes.size()};
    if (!r.Has(14) || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd') return -1;
    r.At = 4;
    const uint32_t headerLength = *r.Big(4);
    if (headerLength < 6 || !r.Has(headerLength)) return -1;
    const size_t afterHeader = r.At + headerLength;
    r.At += 2;  // format
    const uint32_t tracks = *r.Big(2);
    const uint32_t division = *r.Big(2);
    r.At = afterHeader;

    std::multimap<uint64_t, uint32_t> tempi;
    uint64_t lastTick = 0;
    uint32_t found = 0;
    while (found < tracks) {
        r.End = bytes.size();
        const auto id = r.Big(4);
        const auto length = id ? r.Big(4) : std::nullopt;
        if (!length || !r.Has(*length)) return -1;
        const size_t next = r.At + *length;
        if (*id == 0x4D54726Bu) {  // "MTrk"; other chunks are skipped
            r.End = next;
            const auto end = ReadTrack(r, tempi);
            if (!end) return -1;
            lastTick = std::max(lastTick, *end);
            ++found;
        }
        r.At = next;
    }

    if (division & 0x8000u) {
        // Time code: frames a second times ticks a frame; tempo changes do not matter.
        const int fps = -static_cast<int8_t>(division >> 8);
        const int perFrame = division & 0xFF;
        if (fps <= 0 || perFrame == 0) return -1;
        return static_cast<double>(lastTick) / (fps * perFrame);
    }
    if (division == 0) return -1;
    double seconds = 0;
    uint64_t tick = 0;
    uint32_t tempo = kDefaultTempo;
    for (const auto& [at, next] : tempi) {
        if (at >= lastTick) break;
        seconds += static_cast<double>(at - tick) * tempo / 1e6 / division;
        tick = at;
        tempo = next;
    }
    seconds += static_cast<double>(lastTick - tick) * tempo / 1e6 / division;
    return seconds;
}

double MidiFileSeconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<size_t>(size) > kMaxFileBytes) return -1;
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return -1;
    return MidiSeconds(bytes);
}

}  // namespace blubbi
