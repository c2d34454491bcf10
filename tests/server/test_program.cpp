// blubbi-hiscore as a process: its command line, its clean stop, and scores that survive kill -9.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "tests/server/Backends.h"

using blubbi::hiscore::testing::TScratchDatabase;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program with its output in files; killed when the test ends.
class TProcess {
public:
    TProcess(const std::string& program, std::vector<std::string> args, const std::filesystem::path& dir) {
        static int n = 0;
        Out = dir / ("out" + std::to_string(++n));
        Pid = fork();
        if (Pid == 0) {
            const int fd = open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    ~TProcess() {
        if (Pid > 0 && !Exited) {
            kill(Pid, SIGKILL);
            Wait();
        }
    }
    // The exit code, or 128 + signal.
    int Wait() {
        int status = 0;
        waitpid(Pid, &status, 0);
        Exited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // The port from the "listening on" line, 0 when the program has not said it within the time.
    int Port() {
        for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;) {
            const auto text = Output();
            const auto at = text.find("listening on http://127.0.0.1:");
            if (at != std::string::npos) return std::stoi(text.substr(at + 30));
            std::this_thread::sleep_for(20ms);
        }
        return 0;
    }
    std::string Output() const { return ReadFile(Out); }
    pid_t Pid = -1;

private:
    std::filesystem::path Out;
    bool Exited = false;
};

class ProgramTest : public ::testing::Test {
protected:
    TScratchDatabase Db{"sqlite"};
};

TEST_F(ProgramTest, RefusesABadAddressAPortInUseAndAnUnreachableDatabase) {
    const std::string db = "--db=" + Db.Url();
    TProcess bad(BLUBBI_HISCORE, {"--listen", "localhost:80x", db}, Db.Dir());
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_NE(bad.Output().find("ADDR:PORT"), std::string::npos) << bad.Output();

    // A port held by a socket of this test.
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(holder, 1), 0);
    socklen_t len = sizeof a;
    getsockname(holder, reinterpret_cast<sockaddr*>(&a), &len);
    TProcess busy(BLUBBI_HISCORE, {"--listen", "127.0.0.1:" + std::to_string(ntohs(a.sin_port)), db}, Db.Dir());
    EXPECT_EQ(busy.Wait(), 1);
    EXPECT_NE(busy.Output().find("in use"), std::string::npos) << busy.Output();
    close(holder);

    TProcess away(BLUBBI_HISCORE, {"--listen", "127.0.0.1:0", "--db", "postgresql://x@127.0.0.1:1/none"}, Db.Dir());
    EXPECT_EQ(away.Wait(), 1);
    EXPECT_NE(away.Output().find("cannot open the database"), std::string::npos) << away.Output();
}

TEST_F(ProgramTest, SigtermEndsItCleanly) {
    TProcess server(BLUBBI_HISCORE, {"--listen", "127.0.0.1:0", "--db", Db.Url()}, Db.Dir());
    const int port = server.Port();
    ASSERT_GT(port, 0) << server.Output();
    httplib::Client client("127.0.0.1", port);
    EXPECT_EQ(client.Get("/api/scores")->status, 200);
    kill(server.Pid, SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
    EXPECT_NE(server.Output().find("stopped"), std::string::npos);
}

class DurabilityTest : public ::testing::TestWithParam<std::string> {
protected:
    TScratchDatabase Db{GetParam()};
    TScratchDatabase Scratch{"sqlite"};  // a folder for the program's output
};

// Four clients send distinct games as fast as they can; the server is killed mid-way. Every game
// it answered 2xx for must be there after a restart, each once, and sending it again finds it.
TEST_P(DurabilityTest, EveryAnsweredScoreSurvivesKill9) {
    SKIP_WITHOUT_DATABASE(Db);
    const std::vector<std::string> args{"--listen", "127.0.0.1:0", "--db", Db.Url(), "--submissions-per-minute", "0"};
    std::map<int64_t, std::string> acknowledged;  // id -> replay
    {
        TProcess server(BLUBBI_HISCORE_FAKE, args, Scratch.Dir());
        const int port = server.Port();
        ASSERT_GT(port, 0) << server.Output();
        std::mutex mutex;
        std::atomic<int> answered{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < 4; ++c)
            clients.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", port);
                for (int i = 0; i < 100000; ++i) {
                    const std::string replay =
                        "FAKE-REPLAY score=" + std::to_string(i) + " id=" + std::to_string(c) + "-" + std::to_string(i);
                    const httplib::MultipartFormDataItems items{{"name", "C" + std::to_string(c), "", ""},
                                                                {"punkte", std::to_string(i), "", ""},
                                                                {"replay", replay, "r", "application/octet-stream"}};
                    const auto r = client.Post("/api/scores", items);
                    if (!r) return;  // the server is gone
                    if (r->status / 100 != 2) continue;
                    std::lock_guard lock(mutex);
                    acknowledged[nlohmann::json::parse(r->body)["id"].get<int64_t>()] = replay;
                    ++answered;
                }
            });
        while (answered < 60) std::this_thread::sleep_for(1ms);
        kill(server.Pid, SIGKILL);
        for (auto& t : clients) t.join();
        EXPECT_EQ(server.Wait(), 128 + SIGKILL);
    }

    TProcess again(BLUBBI_HISCORE_FAKE, args, Scratch.Dir());
    const int port = again.Port();
    ASSERT_GT(port, 0) << again.Output();
    httplib::Client client("127.0.0.1", port);
    // The list shows each name by its best game; each name's own list holds them all.
    const auto list = nlohmann::json::parse(client.Get("/api/scores?limit=500")->body);
    nlohmann::json all = nlohmann::json::array();
    for (const auto& best : list["scores"]) {
        const auto games =
            nlohmann::json::parse(client.Get("/api/scores?limit=500&name=" + best["name"].get<std::string>())->body);
        for (const auto& e : games["scores"]) all.push_back(e);
    }
    std::set<std::string> stored;
    for (const auto& e : all) {
        const auto id = e["id"].get<int64_t>();
        const auto replay = client.Get("/replays/" + std::to_string(id) + ".blubbi-replay");
        ASSERT_EQ(replay->status, 200);
        EXPECT_TRUE(stored.insert(replay->body).second) << "stored twice: " << replay->body;
        if (acknowledged.count(id)) {
            EXPECT_EQ(acknowledged[id], replay->body);
        }
    }
    for (const auto& [id, replay] : acknowledged) EXPECT_TRUE(stored.count(replay)) << "lost: " << replay;
    EXPECT_EQ(list["total"].get<size_t>(), list["scores"].size());
    EXPECT_GE(acknowledged.size(), 60u);

    // Sending an answered game again finds its entry instead of making a second one; under another
    // name it is refused.
    const auto& [id, replay] = *acknowledged.begin();
    std::string name;
    for (const auto& e : all)
        if (e["id"] == id) name = e["name"];
    for (const std::string& sender : {name, std::string("X")}) {
        const httplib::MultipartFormDataItems items{
            {"name", sender, "", ""},
            {"punkte", replay.substr(replay.find('=') + 1, replay.find(' ', 12) - replay.find('=') - 1), "", ""},
            {"replay", replay, "r", "application/octet-stream"}};
        const auto r = client.Post("/api/scores", items);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, sender == name ? 200 : 409) << r->body;
        EXPECT_EQ(nlohmann::json::parse(r->body)["id"], sender == name ? nlohmann::json(id) : nlohmann::json());
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DurabilityTest, ::testing::Values("sqlite", "postgresql"),
                         blubbi::hiscore::testing::BackendName);

}  // namespace
