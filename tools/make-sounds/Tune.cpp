// Reading the tune's note lists and writing them with libsmf.
#include "Tune.h"

#include <smf.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <stdexcept>

#include "Text.h"

namespace makesounds {

namespace {

constexpr int kStepsPerBar = 16;
constexpr int kMaxSteps = kStepsPerBar * 1000;

const std::map<std::string, int> kDrums{
    {"kick", 36},     {"rim", 37},  {"snare", 38}, {"clap", 39},    {"hat", 42},
    {"pedalhat", 44}, {"ohat", 46}, {"tomlo", 45}, {"tommid", 47},  {"tomhi", 50},
    {"crash", 49},    {"ride", 51}, {"tamb", 54},  {"cowbell", 56}, {"shaker", 70},
};

// A pattern: notes counted in steps from the pattern's start.
struct TPattern {
    int Steps = 0;
    std::vector<TNote> Notes;
};

struct TReader {
    std::string File;
    TTune Tune;
    std::vector<std::map<std::string, TPattern>> Patterns;  // per instrument

    int Clamp7(const TLine& line, const std::string& what, const std::string& word) {
        const int v = Integer(File, line.Number, word);
        if (v < 0 || v > 127) Fail(File, line.Number, what + " lies between 0 and 127");
        return v;
    }

    int InstrumentIndex(const TLine& line, const std::string& name) {
        for (size_t i = 0; i < Tune.Instruments.size(); ++i)
            if (Tune.Instruments[i].Name == name) return static_cast<int>(i);
        Fail(File, line.Number, "no instrument \"" + name + "\"");
    }

    void ReadInstrument(const TLine& line) {
        const auto& w = line.Words;
        if (w.size() < 2 || w.size() % 2 != 0) Fail(File, line.Number, "instrument <name> then pairs of <key> <value>");
        TInstrument ins;
        ins.Name = w[1];
        for (const auto& other : Tune.Instruments)
            if (other.Name == ins.Name) Fail(File, line.Number, "instrument \"" + ins.Name + "\" twice");
        bool channelGiven = false;
        for (size_t i = 2; i + 1 < w.size(); i += 2) {
            const std::string& key = w[i];
            if (key == "channel") {
                ins.Channel = Integer(File, line.Number, w[i + 1]) - 1;
                if (ins.Channel < 0 || ins.Channel > 15) Fail(File, line.Number, "channel lies between 1 and 16");
                channelGiven = true;
            } else if (key == "program") {
                ins.Program = Integer(File, line.Number, w[i + 1]) - 1;
                if (ins.Program < 0 || ins.Program > 127) Fail(File, line.Number, "program lies between 1 and 128");
            } else if (key == "volume")
                ins.Volume = Clamp7(line, key, w[i + 1]);
            else if (key == "pan")
                ins.Pan = Clamp7(line, key, w[i + 1]);
            else if (key == "reverb")
                ins.Reverb = Clamp7(line, key, w[i + 1]);
            else if (key == "chorus")
                ins.Chorus = Clamp7(line, key, w[i + 1]);
            else if (key == "velocity")
                ins.Velocity = Clamp7(line, key, w[i + 1]);
            else if (key == "gate") {
                ins.Gate = Number(File, line.Number, w[i + 1]);
                if (ins.Gate <= 0 || ins.Gate > 1) Fail(File, line.Number, "gate lies above 0, up to 1");
            } else
                Fail(File, line.Number, "unknown key \"" + key + "\"");
        }
        if (!channelGiven) Fail(File, line.Number, "an instrument needs its channel");
        Tune.Instruments.push_back(ins);
        Patterns.emplace_back();
    }

    // "c5", "f#4", "bb3": octave 4 holds middle C (key 60).
    int Key(const TLine& line, const std::string& name) {
        static const int kSemis[] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
        if (name.size() < 2 || name[0] < 'a' || name[0] > 'g')
            Fail(File, line.Number, "\"" + name + "\" is not a note");
        int key = kSemis[name[0] - 'a'];
        size_t i = 1;
        if (name[i] == '#') {
            ++key;
            ++i;
        } else if (name[i] == 'b' && i + 1 < name.size()) {
            --key;
            ++i;
        }
        const int octave = Integer(File, line.Number, name.substr(i));
        key += 12 * (octave + 1);
        if (key < 0 || key > 127) Fail(File, line.Number, "\"" + name + "\" lies outside the MIDI keys");
        return key;
    }

    // Tokens "<note>[+<note>...][:<steps>][!]" or "r[:<steps>]"; a missing length repeats the last.
    void ReadNotes(const TLine& line, const TInstrument& ins, TPattern& p, int& lastSteps) {
        for (std::string token : line.Words) {
            int velocity = ins.Velocity;
            if (!token.empty() && token.back() == '!') {
                velocity = std::min(127, velocity + 18);
                token.pop_back();
            }
            const size_t colon = token.find(':');
            if (colon != std::string::npos) {
                lastSteps = Integer(File, line.Number, token.substr(colon + 1));
                if (lastSteps < 1 || lastSteps > kStepsPerBar * 16)
                    Fail(File, line.Number, "a length is 1 to 256 steps");
                token.resize(colon);
            }
            if (token != "r") {
                size_t start = 0;
                while (start <= token.size()) {
                    size_t plus = token.find('+', start);
                    if (plus == std::string::npos) plus = token.size();
                    p.Notes.push_back({p.Steps, lastSteps, Key(line, token.substr(start, plus - start)), velocity});
                    start = plus + 1;
                }
            }
            p.Steps += lastSteps;
            if (p.Steps > kMaxSteps) Fail(File, line.Number, "pattern too long");
        }
    }

    // "<drum> <grid>": one character a step, '.' silent, 'o' soft, 'x' struck, 'X' accented.
    void ReadGrid(const TLine& line, const TInstrument& ins, TPattern& p, int& rowSteps) {
        const auto drum = kDrums.find(line.Words[0]);
        if (drum == kDrums.end()) Fail(File, line.Number, "unknown drum \"" + line.Words[0] + "\"");
        std::string grid;
        for (size_t i = 1; i < line.Words.size(); ++i) grid += line.Words[i];
        std::erase(grid, '|');
        if (grid.empty() || grid.size() > static_cast<size_t>(kMaxSteps))
            Fail(File, line.Number, "a drum needs its grid");
        const int steps = static_cast<int>(grid.size());
        if (rowSteps >= 0 && steps != rowSteps) Fail(File, line.Number, "the drum rows of a pattern differ in length");
        rowSteps = steps;
        for (int s = 0; s < steps; ++s) {
            const char c = grid[static_cast<size_t>(s)];
            int velocity = 0;
            if (c == 'o')
                velocity = ins.Velocity * 6 / 10;
            else if (c == 'x')
                velocity = ins.Velocity;
            else if (c == 'X')
                velocity = std::min(127, ins.Velocity + 20);
            else if (c != '.')
                Fail(File, line.Number, std::string("unknown grid mark '") + c + "'");
            if (velocity > 0) p.Notes.push_back({s, 1, drum->second, velocity});
        }
        p.Steps = steps;
    }

    size_t ReadPattern(const std::vector<TLine>& lines, size_t at) {
        const TLine& head = lines[at];
        if (head.Words.size() < 3) Fail(File, head.Number, "pattern <instrument> <name>");
        const int which = InstrumentIndex(head, head.Words[1]);
        const TInstrument& ins = Tune.Instruments[static_cast<size_t>(which)];
        if (Patterns[static_cast<size_t>(which)].count(head.Words[2]))
            Fail(File, head.Number, "pattern \"" + head.Words[2] + "\" twice");
        TPattern p;
        int lastSteps = 4, rowSteps = -1;
        size_t i = at;
        if (head.Words.size() > 3) {
            // One line: the notes follow the name, and no "end" closes it.
            if (ins.Channel == 9) Fail(File, head.Number, "drum patterns are rows of a block");
            TLine body{head.Number, {head.Words.begin() + 3, head.Words.end()}};
            ReadNotes(body, ins, p, lastSteps);
        } else {
            for (++i; i < lines.size() && lines[i].Words[0] != "end"; ++i) {
                if (ins.Channel == 9)
                    ReadGrid(lines[i], ins, p, rowSteps);
                else
                    ReadNotes(lines[i], ins, p, lastSteps);
            }
            if (i == lines.size()) Fail(File, head.Number, "pattern without end");
        }
        if (p.Steps == 0 || p.Steps % kStepsPerBar != 0)
            Fail(File, head.Number,
                 "pattern \"" + head.Words[2] + "\" is " + std::to_string(p.Steps) +
                     " steps long, not whole bars of 16");
        Patterns[static_cast<size_t>(which)][head.Words[2]] = std::move(p);
        return i;
    }

    size_t ReadSong(const std::vector<TLine>& lines, size_t at) {
        size_t i = at + 1;
        for (; i < lines.size() && lines[i].Words[0] != "end"; ++i) {
            const TLine& line = lines[i];
            const size_t which = static_cast<size_t>(InstrumentIndex(line, line.Words[0]));
            std::vector<TNote>& part = Tune.Parts[which];
            int& steps = PartSteps[which];
            for (size_t t = 1; t < line.Words.size(); ++t) {
                std::string name = line.Words[t];
                int times = 1;
                if (const size_t star = name.find('*'); star != std::string::npos) {
                    times = Integer(File, line.Number, name.substr(star + 1));
                    if (times < 1 || times > 999) Fail(File, line.Number, "a repeat is 1 to 999 times");
                    name.resize(star);
                }
                const auto found = Patterns[which].find(name);
                if (found == Patterns[which].end())
                    Fail(File, line.Number, "no pattern \"" + name + "\" for " + line.Words[0]);
                for (int k = 0; k < times; ++k) {
                    for (TNote n : found->second.Notes) {
                        n.Step += steps;
                        part.push_back(n);
                    }
                    steps += found->second.Steps;
                    if (steps > kMaxSteps) Fail(File, line.Number, "the song is too long");
                }
            }
        }
        if (i == lines.size()) Fail(File, lines[at].Number, "song without end");
        return i;
    }

    std::vector<int> PartSteps;

    void Read() {
        const std::vector<TLine> lines = ReadLines(File);
        bool songSeen = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            const TLine& line = lines[i];
            const auto& w = line.Words;
            if (w[0] == "tempo" && w.size() == 2) {
                Tune.Tempo = Integer(File, line.Number, w[1]);
                if (Tune.Tempo < 30 || Tune.Tempo > 300) Fail(File, line.Number, "tempo lies between 30 and 300");
            } else if (w[0] == "ticks" && w.size() == 2) {
                Tune.Ticks = Integer(File, line.Number, w[1]);
                if (Tune.Ticks < 24 || Tune.Ticks > 960 || Tune.Ticks % 4 != 0)
                    Fail(File, line.Number, "ticks is a multiple of 4 from 24 to 960");
            } else if (w[0] == "instrument") {
                if (songSeen) Fail(File, line.Number, "instruments come before the song");
                ReadInstrument(line);
            } else if (w[0] == "pattern") {
                i = ReadPattern(lines, i);
            } else if (w[0] == "song" && w.size() == 1) {
                if (!songSeen) {
                    Tune.Parts.assign(Tune.Instruments.size(), {});
                    PartSteps.assign(Tune.Instruments.size(), 0);
                }
                songSeen = true;
                i = ReadSong(lines, i);
            } else {
                Fail(File, line.Number, "unknown line \"" + w[0] + "\"");
            }
        }
        if (!songSeen || Tune.Instruments.empty()) throw std::runtime_error(File + ": no song");
        for (size_t k = 0; k < PartSteps.size(); ++k) {
            if (PartSteps[k] != PartSteps[0])
                throw std::runtime_error(File + ": the part of " + Tune.Instruments[k].Name + " is " +
                                         std::to_string(PartSteps[k]) + " steps long, the part of " +
                                         Tune.Instruments[0].Name + " " + std::to_string(PartSteps[0]));
        }
        Tune.Steps = PartSteps[0];
        if (Tune.Steps == 0) throw std::runtime_error(File + ": the song is empty");
    }
};

struct TSmfDeleter {
    void operator()(smf_t* s) const { smf_delete(s); }
};

struct TEvent {
    int Tick;
    int Order;  // at one tick: settings, then note-offs, then note-ons, then the final silence
    std::vector<unsigned char> Bytes;
};

void Add(smf_track_t* track, int tick, const std::vector<unsigned char>& bytes) {
    // libsmf copies the bytes into the event.
    smf_event_t* e =
        smf_event_new_from_pointer(const_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    if (!e) throw std::runtime_error("a MIDI event was refused");
    smf_track_add_event_pulses(track, e, tick);
}

std::vector<unsigned char> Meta(unsigned char type, const std::vector<unsigned char>& data) {
    std::vector<unsigned char> bytes;
    bytes.reserve(3 + data.size());
    bytes.push_back(0xFF);
    bytes.push_back(type);
    bytes.push_back(static_cast<unsigned char>(data.size()));
    for (unsigned char b : data) bytes.push_back(b);  // an insert() here trips a false -Warray-bounds
    return bytes;
}

std::vector<unsigned char> Name(const std::string& name) {
    return Meta(0x03, std::vector<unsigned char>(name.begin(), name.end()));
}

}  // namespace

TTune ReadTune(const std::string& fileName) {
    TReader reader;
    reader.File = fileName;
    reader.Read();
    return std::move(reader.Tune);
}

void WriteMidi(const TTune& tune, const std::string& fileName) {
    std::unique_ptr<smf_t, TSmfDeleter> smf(smf_new());
    if (!smf || smf_set_ppqn(smf.get(), tune.Ticks) != 0) throw std::runtime_error("libsmf could not start a file");
    const int ticksPerStep = tune.Ticks / 4;
    const int end = tune.Steps * ticksPerStep;

    smf_track_t* conductor = smf_track_new();
    smf_add_track(smf.get(), conductor);
    const long micros = std::lround(60'000'000.0 / tune.Tempo);
    Add(conductor, 0, Name("Getspeed"));
    Add(conductor, 0, Meta(0x58, {4, 2, 24, 8}));  // 4/4
    Add(conductor, 0,
        Meta(0x51, {static_cast<unsigned char>(micros >> 16), static_cast<unsigned char>(micros >> 8),
                    static_cast<unsigned char>(micros)}));
    if (smf_track_add_eot_pulses(conductor, end) != 0) throw std::runtime_error("libsmf refused the end of a track");

    for (size_t k = 0; k < tune.Instruments.size(); ++k) {
        const TInstrument& ins = tune.Instruments[k];
        const unsigned char ch = static_cast<unsigned char>(ins.Channel);
        std::vector<TEvent> events;
        events.push_back({0, 0, Name(ins.Name)});
        if (ins.Program >= 0)
            events.push_back({0, 0, {static_cast<unsigned char>(0xC0 | ch), static_cast<unsigned char>(ins.Program)}});
        auto control = [&](int cc, int value) {
            if (value >= 0)
                events.push_back({0,
                                  0,
                                  {static_cast<unsigned char>(0xB0 | ch), static_cast<unsigned char>(cc),
                                   static_cast<unsigned char>(value)}});
        };
        control(7, ins.Volume);
        control(10, ins.Pan);
        control(91, ins.Reverb);
        control(93, ins.Chorus);
        for (const TNote& n : tune.Parts[k]) {
            const int on = n.Step * ticksPerStep;
            // Drums get a short fixed length; the others sound for their gate.
            const int length =
                ins.Channel == 9 ? ticksPerStep / 2 : static_cast<int>(std::lround(n.Steps * ticksPerStep * ins.Gate));
            const int off = std::min(end, on + std::max(1, length));
            const auto key = static_cast<unsigned char>(n.Key);
            events.push_back(
                {on, 2, {static_cast<unsigned char>(0x90 | ch), key, static_cast<unsigned char>(n.Velocity)}});
            events.push_back({off, 1, {static_cast<unsigned char>(0x80 | ch), key, 0}});
        }
        // The synthesizer reports the piece as ended only once no voice sounds any more, and a
        // release tail can hang on near-silent for seconds. Silencing every voice on the last bar
        // line makes the end the end, so the game starts the piece over on the beat.
        events.push_back({end, 3, {static_cast<unsigned char>(0xB0 | ch), 120, 0}});
        std::stable_sort(events.begin(), events.end(), [](const TEvent& a, const TEvent& b) {
            return a.Tick != b.Tick ? a.Tick < b.Tick : a.Order < b.Order;
        });
        smf_track_t* track = smf_track_new();
        smf_add_track(smf.get(), track);
        for (const TEvent& e : events) Add(track, e.Tick, e.Bytes);
        if (smf_track_add_eot_pulses(track, end) != 0) throw std::runtime_error("libsmf refused the end of a track");
    }
    if (smf_save(smf.get(), fileName.c_str()) != 0) throw std::runtime_error(fileName + ": could not be written");
}

}  // namespace makesounds
