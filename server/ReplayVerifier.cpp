// The real replay checker: the game's core plays the replay headless; the runner draws its last frame.
#include "server/ReplayVerifier.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/replay/Replay.h"
#include "platform/replay/ReplayFormat.h"

extern char** environ;

namespace blubbi::hiscore {

namespace {

namespace fs = std::filesystem;

// A folder of its own for one drawing, removed with the object.
struct TScratch {
    fs::path Dir;
    TScratch() {
        std::string pattern = (fs::temp_directory_path() / "blubbi-hiscore-XXXXXX").string();
        if (mkdtemp(pattern.data())) Dir = pattern;
    }
    ~TScratch() {
        std::error_code ec;
        if (!Dir.empty()) fs::remove_all(Dir, ec);
    }
};

// Waits for the child; true when it exited with 0. A cancel or the deadline kills it.
bool Reaped(pid_t pid, const std::atomic<bool>& cancel, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    for (;;) {
        if (cancel || std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            return false;
        }
        const pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (got < 0 && errno != EINTR) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class TReplayVerifier final : public TScoreVerifier {
public:
    TReplayVerifier(std::string dataDir, std::string simPath) : DataDir(std::move(dataDir)), Sim(std::move(simPath)) {}

    std::optional<int64_t> DeclaredFrames(std::string_view replay) override {
        TVerifyResult refusal;
        return DeclaredFrames(replay, refusal);
    }
    std::optional<int64_t> DeclaredFrames(std::string_view replay, TVerifyResult& refusal) override {
        TReplayError error;
        int64_t frames = 0;
        if (CheckReplay(replay, Limits(), error, frames)) return frames;
        refusal.Status = TVerifyResult::TStatus::Malformed;
        refusal.Line = error.Line;
        refusal.Reason = error.Message;
        refusal.ForPlayer = error.ForPlayer;
        return std::nullopt;
    }

    // The core stops at maxFrames, or within a frame of the cancel that a deadline sets.
    TVerifyResult Verify(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel) override {
        TVerifyLimits limits;
        limits.MaxFrames = maxFrames;
        limits.Text = Limits();
        limits.Text.MaxFrames = maxFrames;
        limits.Cancel = &cancel;
        // The game's own levels hold a few dozen actors a frame; a check does the work of at most 64
        // all game long, and a frame of more than 1000 is no level it plays.
        limits.MaxWork = kCheckActorsPerFrame * maxFrames;
        limits.MaxActors = kCheckMaxActors;
        TVerifyResult r = VerifyReplay(replay, DataDir, limits);
        if (cancel) r.Status = TVerifyResult::TStatus::Cancelled;
        return r;
    }

    // The runner draws it in a process of its own, killed when the cancel or the deadline comes first.
    std::optional<std::string> LastFramePng(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel,
                                            std::chrono::steady_clock::time_point deadline) override {
        const auto declared = DeclaredFrames(replay);
        if (!declared || *declared > maxFrames || Sim.empty()) return std::nullopt;
        TScratch scratch;
        if (scratch.Dir.empty()) return std::nullopt;
        const std::string replayFile = (scratch.Dir / "game.blubbi-replay").string();
        const std::string scriptFile = (scratch.Dir / "last.script").string();
        const std::string pngFile = (scratch.Dir / "last.png").string();
        std::ofstream(replayFile, std::ios::binary) << replay;
        std::ofstream(scriptFile) << "png " << pngFile << "\n";
        // At the game's own size, whatever box the game had: its field in the middle.
        const std::string viewport = std::to_string(kDesignWidth) + "x" + std::to_string(kDesignHeight);
        std::vector<std::string> args{Sim,      "--data",   DataDir,    "--viewport",
                                      viewport, "--replay", replayFile, scriptFile};
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        // The runner gets none of the server's sockets and files, and the signals as a new program has
        // them (the server blocks its stop signals in its threads).
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, Sim.c_str(), &actions, &attr, argv.data(), environ);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) return std::nullopt;
        if (!Reaped(pid, cancel, deadline)) return std::nullopt;
        std::ifstream in(pngFile, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    // A level with more enemies than a check plays is refused as the text is read, before any play.
    static TReplayLimits Limits() {
        TReplayLimits limits;
        limits.MaxLevelEnemies = kCheckMaxActors;
        return limits;
    }

    std::string DataDir;
    std::string Sim;
};

}  // namespace

std::unique_ptr<TScoreVerifier> MakeReplayVerifier(const std::string& dataDir, const std::string& simPath) {
    return std::make_unique<TReplayVerifier>(dataDir, simPath);
}

}  // namespace blubbi::hiscore
