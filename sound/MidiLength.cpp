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

using TTempi = std::multimap<uint64_t, uint32_t>;  // tick -> microseconds a quarter from there on

enum class TRead { Bad, More, End };

// A meta event: the track's end, a tempo change, or something to skip.
TRead MetaEvent(TReader& r, uint64_t tick, TTempi& tempi) {
    const auto type = r.Big(1);
    const auto length = type ? r.Vlq() : std::nullopt;
    if (!length) return TRead::Bad;
    if (*type == 0x2F) return TRead::End;
    if (*type != 0x51 || *length != 3) return r.Skip(*length) ? TRead::More : TRead::Bad;
    const auto tempo = r.Big(3);
    if (!tempo) return TRead::Bad;
    if (*tempo > 0) tempi.emplace(tick, *tempo);
    return TRead::More;
}

// One event after its delta time; `running` is the status a data byte runs on.
TRead Event(TReader& r, uint64_t tick, uint8_t& running, TTempi& tempi) {
    if (!r.Has(1)) return TRead::Bad;
    uint8_t status = r.Bytes[r.At];
    if (status & 0x80u) {
        ++r.At;
    } else {
        if (!running) return TRead::Bad;  // a data byte with no status to run on
        status = running;
    }
    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        running = 0;
        if (status == 0xFF) return MetaEvent(r, tick, tempi);
        const auto length = r.Vlq();
        return length && r.Skip(*length) ? TRead::More : TRead::Bad;
    }
    if (status >= 0xF0) return TRead::Bad;  // system messages have no place in a file
    const uint8_t kind = status & 0xF0u;
    const size_t data = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    // Under running status the first data byte is the one just looked at, still unread.
    if (!r.Skip(data)) return TRead::Bad;
    running = status;
    return TRead::More;
}

// One track: its end tick, and its tempo changes added to `tempi`.
std::optional<uint64_t> ReadTrack(TReader& r, TTempi& tempi) {
    uint64_t tick = 0;
    uint8_t running = 0;
    while (r.At < r.End) {
        const auto delta = r.Vlq();
        if (!delta) return std::nullopt;
        tick += *delta;
        const TRead read = Event(r, tick, running, tempi);
        if (read == TRead::Bad) return std::nullopt;
        if (read == TRead::End) return tick;
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

    TTempi tempi;
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
        const auto perFrame = static_cast<int>(division & 0xFF);
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
