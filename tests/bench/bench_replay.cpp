// Checking a replay without pictures against real time: a 10-minute game (24,000 frames with timer
// jitter and about two key changes a second) must check in at most 0.3 s, 2,000 times real time.
// And in the same memory however long it is: the peak of what a check allocates, for games of 2.5,
// 10 and 40 minutes. And a seek in a two-hour game.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <new>

#include <filesystem>
#include <fstream>
#include <random>

#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"
#include "platform/replay/Replay.h"
#include "platform/replay/Seeker.h"

// Every allocation of the program counted: the bytes in use now and the most since the last reset.
std::atomic<int64_t> gInUse{0}, gPeak{0};

void* operator new(size_t size) {
    void* p = std::malloc(size > 0 ? size : 1);
    if (!p) throw std::bad_alloc();
    const int64_t now = gInUse += static_cast<int64_t>(malloc_usable_size(p));
    for (int64_t peak = gPeak; now > peak && !gPeak.compare_exchange_weak(peak, now);) {}
    return p;
}
// The memory came from malloc above, whatever the compiler takes operator new to be.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    gInUse -= static_cast<int64_t>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace blubbi {
namespace {

constexpr int kFrames = 24000;
constexpr double kGameSeconds = kFrames * 0.025;

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct TRecordedGame {
    std::string Dir;
    std::string Text;

    explicit TRecordedGame(int frames) {
        Dir = (std::filesystem::temp_directory_path() /
               ("blubbi-bench-replay-" + std::to_string(::getpid()) + "-" + std::to_string(frames)))
                  .string();
        TLevelData level;
        for (int c = 0; c < kCols; ++c)
            for (int r = 0; r < kRows; ++r)
                level.Grid[c * kRows + r] = (c == 0 || c == 24 || r == 0 || r == 19 || (r == 14 && c > 3 && c < 10));
        level.StartX = 38;
        level.StartY = 315;
        static const int32_t sizes[4][2] = {{46, 60}, {50, 40}, {30, 40}, {44, 50}};
        for (int32_t i = 0; i < 6; ++i) {
            TEnemy e{};
            e.Kind = i % 4;
            e.Width = sizes[i % 4][0];
            e.Height = sizes[i % 4][1];
            e.X = 60 + 60 * i;
            e.Y = 100 + 30 * (i % 3);
            level.Enemies.push_back(e);
        }
        Write(Dir + "/levels/level001.lev", EncodeLevel(level));
        Write(Dir + "/levels/level002.lev", EncodeLevel(level));
        Write(Dir + "/grafiken/stein1.gif", {1});

        THeadlessPlatform platform;
        platform.Dir = Dir + "/";
        platform.Loader = [](const std::string& file) {
            return std::filesystem::exists(file) ? THeadlessPlatform::MakeDib(19, 19) : TDib{};
        };
        platform.GameOverAnswer = TModalResult::Ok;
        TRecorder recorder(platform);
        recorder.Begin(platform.Dir, 1, platform.Clock);
        TMainForm game(recorder);
        recorder.Create(game);
        std::mt19937 dice(3);
        static const int32_t keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE};
        for (int frame = 0; frame < frames; ++frame) {
            platform.Clock += dice() % 7 - 3;
            platform.Tick(game, [&](const TEvent& e) { recorder.Record(game, e); });
            if (dice() % 20 == 0) {
                TEvent e;
                e.Kind = dice() % 2 ? TEventKind::KeyDown : TEventKind::KeyUp;
                e.A = keys[dice() % 4];
                e.Clock = platform.Clock;
                recorder.Record(game, e);
            }
        }
        Text = recorder.Text(game);
        game.FormDestroy();
    }
    ~TRecordedGame() { std::filesystem::remove_all(Dir); }
};

const TRecordedGame& Recorded(int frames) {
    static std::map<int, TRecordedGame> games;
    return games.try_emplace(frames, frames).first->second;
}

void BM_VerifyTenMinuteGame(benchmark::State& state) {
    const TRecordedGame& recorded = Recorded(kFrames);
    for (auto _ : state) {
        const TVerifyResult r = VerifyReplay(recorded.Text, recorded.Dir, TVerifyLimits{});
        if (r.Status != TVerifyResult::TStatus::Ok) state.SkipWithError(r.Reason.c_str());
        benchmark::DoNotOptimize(r.Score);
    }
    // Game seconds checked per second of checking: the ratio to real time.
    state.counters["x_real_time"] =
        benchmark::Counter(kGameSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["replay_bytes"] = static_cast<double>(recorded.Text.size());
}
BENCHMARK(BM_VerifyTenMinuteGame)->Unit(benchmark::kMillisecond);

// The most a check holds at once besides the replay's text, which its caller holds: flat in the length.
void BM_CheckPeakMemory(benchmark::State& state) {
    const TRecordedGame& recorded = Recorded(static_cast<int>(state.range(0)));
    VerifyReplay(recorded.Text, recorded.Dir, TVerifyLimits{});  // the data's hash, made once and kept
    int64_t peak = 0;
    for (auto _ : state) {
        const int64_t before = gInUse;
        gPeak = before;
        const TVerifyResult r = VerifyReplay(recorded.Text, recorded.Dir, TVerifyLimits{});
        peak = gPeak - before;
        if (r.Status != TVerifyResult::TStatus::Ok) state.SkipWithError(r.Reason.c_str());
    }
    state.counters["peak_kB"] = static_cast<double>(peak) / 1024;
    state.counters["replay_kB"] = static_cast<double>(recorded.Text.size()) / 1024;
}
BENCHMARK(BM_CheckPeakMemory)->Arg(6000)->Arg(kFrames)->Arg(4 * kFrames)->Iterations(1)->Unit(benchmark::kMillisecond);

// A seek anywhere in a two-hour game (288,000 frames), back or on, once the states along it are kept:
// it plays from the nearest one, never from the start. Also the time keeping them took, and their memory.
void BM_SeekTwoHourGame(benchmark::State& state) {
    const TRecordedGame& recorded = Recorded(12 * kFrames);
    TNullPlatform shown, ahead;
    for (TNullPlatform* p : {&shown, &ahead}) {
        p->Dir = recorded.Dir + "/";
        p->Loader = [](const std::string& file) {
            return std::filesystem::exists(file) ? TNullPlatform::MakeDib(19, 19) : TDib{};
        };
    }
    const int64_t before = gInUse;
    const auto started = std::chrono::steady_clock::now();
    TReplaySeeker seeker(recorded.Text, recorded.Dir, shown, ahead);
    while (seeker.Scout(100000)) {}
    const double keptSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::mt19937 dice(11);
    for (auto _ : state) seeker.Seek(static_cast<int64_t>(dice() % (12 * kFrames)));
    state.counters["keeping_states_s"] = keptSeconds;
    state.counters["states"] = static_cast<double>(seeker.StatesKept());
    state.counters["states_kB"] = static_cast<double>(gInUse - before) / 1024;
}
BENCHMARK(BM_SeekTwoHourGame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace blubbi

BENCHMARK_MAIN();
