// The HTTP side of the hiscore server, in-process on 127.0.0.1 with the test replay checker.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "base/Gzip.h"
#include "server/Form.h"
#include "server/HttpEdge.h"
#include "server/Service.h"
#include "tests/server/Backends.h"
#include "tests/server/FakeVerifier.h"

using namespace blubbi::hiscore;
using nlohmann::json;

namespace {

class ApiTest : public ::testing::Test {
protected:
    void Start(TLimits limits = {}, TEdgeLimits edge = {}) {
        limits.SubmissionsPerMinute = Limits.SubmissionsPerMinute;
        Store = OpenStore(Db.Url());
        Service = std::make_unique<THiscoreService>(*Store, &Verifier, limits);
        Service->Install(Routes);
        edge.MaxBody = limits.MaxBody;
        Server = std::make_unique<THttpEdge>(Routes, edge);
        Port = Server->Bind("127.0.0.1", 0);
        ASSERT_GT(Port, 0);
        Thread = std::thread([this] { Server->Run(); });
        Client = std::make_unique<httplib::Client>("127.0.0.1", Port);
        Client->set_read_timeout(30);
    }
    void TearDown() override {
        if (Server) Server->Stop();
        if (Thread.joinable()) Thread.join();
    }

    httplib::Result Submit(const std::string& name, const std::string& points, const std::string& replay) {
        const httplib::MultipartFormDataItems items{
            {"name", name, "", ""},
            {"punkte", points, "", ""},
            {"replay", replay, "game.blubbi-replay", "application/octet-stream"}};
        return Client->Post("/api/scores", items);
    }
    static json Body(const httplib::Result& r) { return json::parse(r->body); }

    TLimits Limits{.SubmissionsPerMinute = 0};
    blubbi::hiscore::testing::TScratchDatabase Db{"sqlite"};
    std::unique_ptr<TScoreStore> Store;
    TFakeVerifier Verifier;
    std::unique_ptr<THiscoreService> Service;
    THttpRoutes Routes;
    std::unique_ptr<THttpEdge> Server;
    int Port = 0;
    std::thread Thread;
    std::unique_ptr<httplib::Client> Client;
};

TEST_F(ApiTest, VerifiedScoreGetsIdAndPlaceAResentOneTheSameEntry) {
    Start();
    const auto first = Submit("Anna", "500", "FAKE-REPLAY score=500 level=3 id=1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 201);
    const auto a = Body(first);
    EXPECT_EQ(a["rank"], 1);
    EXPECT_EQ(a["verified"], true);
    EXPECT_EQ(a["ranked"], true);
    EXPECT_EQ(a["duplicate"], false);
    EXPECT_NE(a["reason"].get<std::string>().find("Platz 1"), std::string::npos);

    const auto better = Body(Submit("Berta", "900", "FAKE-REPLAY score=900 id=2"));
    EXPECT_EQ(better["rank"], 1);
    EXPECT_NE(better["id"], a["id"]);

    // Packed it is the same game; packed to unpack past any replay's size, it is refused.
    const auto again = Submit("Anna", "500", blubbi::Gzip("FAKE-REPLAY score=500 level=3 id=1"));
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(Body(again)["id"], a["id"]);
    EXPECT_EQ(Body(again)["rank"], 2);
    EXPECT_EQ(Body(again)["duplicate"], true);
    EXPECT_EQ(Store->Count(), 2);
    EXPECT_EQ(Store->Get(a["id"])->Level, 3);  // the level comes from the replay
    const auto bomb = Submit("Anna", "1", blubbi::Gzip("FAKE-REPLAY score=1 " + std::string(kMaxReplayBytes, ' ')));
    EXPECT_EQ(bomb->status, 413);
    EXPECT_EQ(Store->Count(), 2);
}

TEST_F(ApiTest, ForgedOrBrokenReplaysAreRefusedInGermanAndNotStored) {
    Start();
    struct TCase {
        std::string Points, Replay;
        int Status;
        std::string Says;
    };
    const std::vector<TCase> cases{
        {"501", "FAKE-REPLAY score=500", 422, "Punkte"},
        {"500", "FAKE-REPLAY score=500 check=bad", 422, "Bild 80"},
        {"500", "FAKE-REPLAY score=500 data=0", 422, "Spieldaten"},
        {"500", "FAKE-REPLAY score=500 gameover=0", 422, "Game Over"},
        {"500", "not a replay", 400, "unlesbar"},
    };
    for (const auto& c : cases) {
        const auto r = Submit("Mallory", c.Points, c.Replay);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, c.Status) << c.Replay;
        const auto body = Body(r);
        EXPECT_TRUE(body["id"].is_null());
        EXPECT_NE(body["reason"].get<std::string>().find(c.Says), std::string::npos) << body.dump();
    }
    EXPECT_EQ(Store->Count(), 0);
}

TEST_F(ApiTest, EditorGameIsStoredWithoutPlaceAndSaysSo) {
    Start();
    const auto r = Submit("Eddi", "800", "FAKE-REPLAY score=800 editor=1");
    EXPECT_EQ(r->status, 201);
    const auto body = Body(r);
    EXPECT_TRUE(body["rank"].is_null());
    EXPECT_EQ(body["ranked"], false);
    EXPECT_NE(body["reason"].get<std::string>().find("ohne Platz"), std::string::npos);
    // A later ranked game with fewer points still gets the first place.
    EXPECT_EQ(Body(Submit("Rita", "10", "FAKE-REPLAY score=10"))["rank"], 1);
}

TEST_F(ApiTest, EachLimitHasItsOwnStatusAndReason) {
    Limits.SubmissionsPerMinute = 1;  // two at once: the too big body never reaches the handler
    Start({.MaxFrames = 1000, .SubmissionBurst = 2});
    const std::string tooBig(1 << 20, 'x');
    const auto big = Submit("Anna", "1", tooBig);
    EXPECT_EQ(big->status, 413);
    EXPECT_NE(Body(big)["reason"].get<std::string>().find("1 MB"), std::string::npos);

    // Sent in chunks, a body is counted as it comes and refused at the same limit.
    Client = std::make_unique<httplib::Client>("127.0.0.1", Port);
    const std::string form =
        "--x\r\nContent-Disposition: form-data; name=\"replay\"\r\n\r\n" + tooBig + "\r\n--x--\r\n";
    const httplib::ContentProviderWithoutLength send = [&](size_t, httplib::DataSink& sink) {
        sink.write(form.data(), form.size());
        sink.done();
        return true;
    };
    const auto chunked = Client->Post("/api/scores", send, "multipart/form-data; boundary=x");
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->status, 413);
    EXPECT_EQ(Body(chunked)["reason"], Body(big)["reason"]);
    EXPECT_EQ(Submit(std::string(33, 'n'), "1", "FAKE-REPLAY")->status, 400);
    const auto longGame = Submit("Anna", "1", "FAKE-REPLAY frames=1001");
    EXPECT_EQ(longGame->status, 413);
    EXPECT_NE(Body(longGame)["reason"].get<std::string>().find("1000 Bilder"), std::string::npos);
    const auto third = Submit("Anna", "0", "FAKE-REPLAY");  // the third counted; the burst is spent
    EXPECT_EQ(third->status, 429);
    EXPECT_FALSE(third->get_header_value("Retry-After").empty());
    EXPECT_NE(Body(third)["reason"].get<std::string>().find("Zu viele"), std::string::npos);
    EXPECT_EQ(Store->Count(), 0);
}

// The operator, by token only, takes an entry out of the list (its game stays known) and bans an
// address.
TEST_F(ApiTest, TheOperatorHidesAnEntryAndBansAnAddress) {
    Start({.AdminToken = "0123456789abcdef"});
    const std::string id = Body(Submit("Anna", "500", "FAKE-REPLAY score=500"))["id"].dump();
    const httplib::Headers token{{"Authorization", "Bearer 0123456789abcdef"}};
    EXPECT_EQ(Client->Post("/admin/hide?id=" + id, "", "text/plain")->status, 401);
    EXPECT_EQ(Client->Post("/admin/hide?id=" + id, token, "", "text/plain")->status, 200);
    EXPECT_EQ(Body(Client->Get("/api/scores"))["total"], 0);
    EXPECT_EQ(Client->Get("/replays/" + id + ".blubbi-replay")->status, 404);
    EXPECT_EQ(Submit("Anna", "500", "FAKE-REPLAY score=500")->status, 410);
    EXPECT_EQ(Client->Post("/admin/ban?address=127.0.0.1", token, "", "text/plain")->status, 200);
    EXPECT_EQ(Submit("Berta", "7", "FAKE-REPLAY score=7")->status, 403);
    // What was done is listed and undone; what is no address is no ban.
    EXPECT_EQ(Client->Post("/admin/ban?address=garbage", token, "", "text/plain")->status, 400);
    const auto listed = Body(Client->Get("/admin/list", token));
    EXPECT_EQ(listed["hidden"], json::array({std::stoll(id)}));
    EXPECT_EQ(listed["bans"], json::parse(R"([{"kind": "address", "value": "127.0.0.1"}])"));
    EXPECT_EQ(Client->Post("/admin/unban?address=127.0.0.1", token, "", "text/plain")->status, 200);
    EXPECT_EQ(Client->Post("/admin/unhide?id=" + id, token, "", "text/plain")->status, 200);
    EXPECT_EQ(Body(Client->Get("/api/scores"))["total"], 1);
    EXPECT_EQ(Submit("Berta", "7", "FAKE-REPLAY score=7")->status, 201);
    // The metrics name the operator's routes as the routing table does, not as "other".
    EXPECT_NE(Client->Get("/metrics")->body.find("route=\"/admin/list\",status=\"200\""), std::string::npos);
}

// The submissions in work hold their unpacked replays within one budget: one that finds no room waits
// briefly and is then turned away, and room comes back when a check ends.
TEST_F(ApiTest, SubmissionsInWorkShareOneBudgetOfMemory) {
    // Room for one replay's unpacking; the first keeps what it holds (some 60 KB) for its check.
    Start({.SubmissionMemory = kMaxReplayBytes + 48 * 1024, .MemoryWait = std::chrono::milliseconds(100)});
    std::thread slow([this] {
        httplib::Client own("127.0.0.1", Port);  // a connection of its own: the test's one waits meanwhile
        own.set_read_timeout(30);
        const httplib::MultipartFormDataItems items{
            {"name", "Anna", "", ""},
            {"punkte", "1", "", ""},
            {"replay", "FAKE-REPLAY score=1 ms=1500" + std::string(20000, ' '), "r", "application/octet-stream"}};
        EXPECT_EQ(own.Post("/api/scores", items)->status, 201);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto full = Submit("Berta", "2", "FAKE-REPLAY score=2");
    EXPECT_EQ(full->status, 503);
    EXPECT_NE(Body(full)["reason"].get<std::string>().find("in Arbeit"), std::string::npos);
    slow.join();
    EXPECT_EQ(Submit("Berta", "2", "FAKE-REPLAY score=2")->status, 201);
}

// Behind the proxy the operator named, the client is the address it forwards, not the proxy.
TEST_F(ApiTest, BehindTheNamedProxyEachForwardedClientHasItsOwnTurn) {
    Limits.SubmissionsPerMinute = 1;
    Start({.SubmissionBurst = 1, .TrustedProxy = "127.0.0.1"});
    const auto from = [&](const std::string& forwarded, int points) {
        const httplib::MultipartFormDataItems items{{"name", "Anna", "", ""},
                                                    {"punkte", std::to_string(points), "", ""},
                                                    {"replay", "FAKE-REPLAY score=" + std::to_string(points), "r", ""}};
        return Client->Post("/api/scores", {{"X-Forwarded-For", forwarded}}, items)->status;
    };
    EXPECT_EQ(from("10.0.0.9, 192.0.2.1", 1), 201);
    EXPECT_EQ(from("192.0.2.2", 2), 201);
    EXPECT_EQ(from("10.0.0.8, 192.0.2.1", 3), 429);  // the first address is the client's own word
    // Several fields are one list: the proxy's own address is the last of the last one.
    const httplib::MultipartFormDataItems items{
        {"name", "Anna", "", ""}, {"punkte", "4", "", ""}, {"replay", "FAKE-REPLAY score=4", "r", ""}};
    const httplib::Headers two{{"X-Forwarded-For", "10.0.0.7"}, {"X-Forwarded-For", "192.0.2.1"}};
    EXPECT_EQ(Client->Post("/api/scores", two, items)->status, 429);
}

TEST_F(ApiTest, ACheckThatTakesTooLongIsCutOff) {
    Start({.VerifyTime = std::chrono::milliseconds(200)});
    const auto started = std::chrono::steady_clock::now();
    const auto r = Submit("Anna", "0", "FAKE-REPLAY ms=5000");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_EQ(r->status, 503);
    EXPECT_NE(Body(r)["reason"].get<std::string>().find("zu lange"), std::string::npos);
    EXPECT_EQ(Store->Count(), 0);

    // A last frame that takes too long to draw is one to ask for again, not one that does not exist.
    const auto stored = Submit("Berta", "0", "FAKE-REPLAY drawms=5000");
    ASSERT_EQ(stored->status, 201);
    const auto png = Client->Get("/replays/" + std::to_string(Body(stored)["id"].get<int64_t>()) + ".png");
    EXPECT_EQ(png->status, 503);
    EXPECT_FALSE(png->get_header_value("Retry-After").empty());
    EXPECT_EQ(png->get_header_value("Cache-Control"), "no-store");
}

// A drawing that runs out of its time is remembered as none: the picture is missing for good, and
// no view starts it again.
TEST_F(ApiTest, ADrawingThatFailedIsNotTriedAgain) {
    Start({.PictureTime = std::chrono::milliseconds(50)});
    const auto stored = Submit("Berta", "0", "FAKE-REPLAY drawms=1000");
    const int64_t id = Body(stored)["id"];
    for (int i = 0; i < 300 && !Store->Picture(id); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Store->Picture(id), std::string());
    EXPECT_EQ(Client->Get("/replays/" + std::to_string(id) + ".png")->status, 404);
    EXPECT_EQ(Verifier.Drawn, 0);
}

TEST_F(ApiTest, FormWithoutItsFieldsIsRefused) {
    Start();
    EXPECT_EQ(Client->Post("/api/scores", "name=a&punkte=1", "application/x-www-form-urlencoded")->status, 415);
    const httplib::MultipartFormDataItems noReplay{{"name", "a", "", ""}, {"punkte", "1", "", ""}};
    const auto r = Client->Post("/api/scores", noReplay);
    EXPECT_EQ(r->status, 400);
    EXPECT_NE(Body(r)["reason"].get<std::string>().find("replay"), std::string::npos);
    EXPECT_EQ(Submit("Anna", "viele", "FAKE-REPLAY")->status, 400);
}

TEST_F(ApiTest, ListPagesReplaysAndCachedPictures) {
    Start();
    for (int i = 0; i < 5; ++i)
        Submit("P" + std::to_string(i), std::to_string(i * 100), "FAKE-REPLAY score=" + std::to_string(i * 100));
    const auto r = Client->Get("/api/scores?limit=2&offset=1");
    ASSERT_EQ(r->status, 200);
    const auto list = Body(r);
    EXPECT_EQ(list["total"], 5);
    ASSERT_EQ(list["scores"].size(), 2u);
    EXPECT_EQ(list["scores"][0]["name"], "P3");
    EXPECT_EQ(list["scores"][0]["rank"], 2);
    EXPECT_EQ(list["scores"][0]["date"].get<std::string>().size(), 20u);  // 2026-12-07T11:14:03Z
    EXPECT_EQ(list["scores"][1]["points"], 200);
    EXPECT_EQ(Client->Get("/api/scores?limit=x")->status, 400);
    // A list answer is reused, but not past a new score of this server.
    Submit("P5", "1000", "FAKE-REPLAY score=1000");
    EXPECT_EQ(Body(Client->Get("/api/scores?limit=2&offset=1"))["total"], 6);

    // By its last entry, a page goes on at any depth with the same places.
    const auto after = Body(Client->Get("/api/scores?limit=2&after=" + list["scores"][0]["id"].dump()));
    ASSERT_EQ(after["scores"].size(), 2u);
    EXPECT_EQ(after["scores"][0]["name"], "P2");
    EXPECT_EQ(after["scores"][0]["rank"], 4);
    EXPECT_EQ(after["next"], after["scores"][1]["id"]);
    EXPECT_EQ(after["total"], 6);
    EXPECT_EQ(Client->Get("/api/scores?after=987654")->status, 404);
    const std::string id = std::to_string(list["scores"][0]["id"].get<int64_t>());
    const auto replay = Client->Get("/replays/" + id + ".blubbi-replay");
    EXPECT_EQ(replay->status, 200);
    EXPECT_EQ(replay->body, "FAKE-REPLAY score=300");
    // Each entry's last frame is drawn once, right after its check, not for each view.
    auto png = Client->Get("/replays/" + id + ".png");
    for (int i = 0; i < 200 && png->status == 503; ++i, png = Client->Get("/replays/" + id + ".png"))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(png->status, 200);
    EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(png->body, "\x89PNG\r\n\x1a\nFAKE-REPLAY score=300");
    EXPECT_EQ(Client->Get("/replays/" + id + ".png")->body, png->body);
    for (int i = 0; i < 200 && Verifier.Drawn < 6; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Verifier.Drawn, 6);
    EXPECT_EQ(Client->Get("/replays/999.png")->status, 404);
    // A replay and a picture keep their tag, so a client that has them gets 304; the replay is kept
    // packed and sent so to whoever takes gzip; no answer is sniffed.
    EXPECT_EQ(Client->Get("/replays/" + id + ".png", {{"If-None-Match", png->get_header_value("ETag")}})->status, 304);
    const auto packed = Client->Get("/replays/" + id + ".blubbi-replay", {{"Accept-Encoding", "gzip"}});
    EXPECT_EQ(packed->get_header_value("Content-Encoding"), "gzip");
    EXPECT_EQ(blubbi::IsGzip(packed->body) ? *blubbi::Gunzip(packed->body, 1 << 20) : packed->body,
              "FAKE-REPLAY score=300");
    EXPECT_EQ(replay->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_FALSE(Client->Get("/")->get_header_value("Content-Security-Policy").empty());
    // Each name is listed once, by its best game; its own page holds the others.
    Submit("P3", "50", "FAKE-REPLAY score=50");
    EXPECT_EQ(Body(Client->Get("/api/scores"))["total"], 6);
    const auto p3 = Body(Client->Get("/api/scores?name=P3"));
    ASSERT_EQ(p3["scores"].size(), 2u);
    EXPECT_EQ(p3["scores"][0]["rank"], 3);
    EXPECT_EQ(p3["scores"][1]["points"], 50);
    EXPECT_TRUE(p3["scores"][1]["rank"].is_null());
    EXPECT_NE(Client->Get("/name?name=P3")->body.find("Alle Spiele von „P3“"), std::string::npos);
    EXPECT_EQ(Client->Get("/replays/999.blubbi-replay")->status, 404);
}

TEST_F(ApiTest, PageShowsNamesAsText) {
    Start();
    Submit("<script>alert(1)</script>", "50", "FAKE-REPLAY score=50");
    Submit("Jörg & \"Co\"", "70", "FAKE-REPLAY score=70 cheat=1");
    for (const char* path : {"/", "/showhi.php"}) {
        const auto r = Client->Get(path);
        ASSERT_EQ(r->status, 200);
        EXPECT_EQ(r->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_NE(r->body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
        EXPECT_EQ(r->body.find("<script"), std::string::npos);
        EXPECT_NE(r->body.find("Jörg &amp; &quot;Co&quot;"), std::string::npos);
        EXPECT_NE(r->body.find("Schummelcode"), std::string::npos);
    }
}

// A raw connection from a given loopback address, for clients that misbehave.
int Connect(const char* from, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, from, &a.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    a.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return fd;
}

// What the server said before it closed, or nothing while it keeps the connection open.
std::optional<std::string> ClosedWith(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return std::nullopt;
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
        said.append(buffer, static_cast<size_t>(n));
    return said;
}

// Clients that send slowly or too much hold neither the server nor its threads: an address past its
// connection limit is turned away at once, a request that trickles in is cut off at its deadline
// however steadily it sends, an endless header is refused, and meanwhile everyone else is answered.
TEST_F(ApiTest, SlowAndGreedyClientsAreCutOffWhileOthersAreServed) {
    using namespace std::chrono;
    Start({}, {.MaxHeader = 4096, .RequestTime = milliseconds(1000), .ConnectionsPerAddress = 4, .Threads = 2});
    std::vector<int> slow;
    for (int i = 0; i < 12; ++i) slow.push_back(Connect("127.0.0.2", Port));
    const int greedy = Connect("127.0.0.3", Port);
    const std::string header = "GET / HTTP/1.1\r\nX: " + std::string(8000, 'a') + "\r\n\r\n";
    ASSERT_EQ(send(greedy, header.data(), header.size(), MSG_NOSIGNAL), static_cast<ssize_t>(header.size()));
    // Just over the limit, whole in one go.
    const int over = Connect("127.0.0.4", Port);
    const std::string overHeader = "GET / HTTP/1.1\r\nX: " + std::string(4096 - 20, 'a') + "\r\n\r\n";
    ASSERT_EQ(send(over, overHeader.data(), overHeader.size(), MSG_NOSIGNAL), static_cast<ssize_t>(overHeader.size()));

    const auto start = steady_clock::now();
    std::vector<double> closedAfter(slow.size(), -1);
    std::vector<std::string> said(slow.size());
    int served = 0;
    while (steady_clock::now() - start < milliseconds(2500)) {
        for (size_t i = 0; i < slow.size(); ++i) {
            if (closedAfter[i] >= 0) continue;
            send(slow[i], "G", 1, MSG_NOSIGNAL);  // one byte every 50 ms, never a whole request
            if (const auto gone = ClosedWith(slow[i])) {
                closedAfter[i] = duration<double>(steady_clock::now() - start).count();
                said[i] = *gone;
            }
        }
        const auto asked = steady_clock::now();
        const auto page = Client->Get("/");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->status, 200);
        EXPECT_LT(steady_clock::now() - asked, milliseconds(500));
        ++served;
        std::this_thread::sleep_for(milliseconds(50));
    }
    int turnedAway = 0, cutOff = 0;
    for (size_t i = 0; i < slow.size(); ++i) {
        if (closedAfter[i] >= 0 && closedAfter[i] < 0.5 && said[i].find(" 503 ") != std::string::npos) ++turnedAway;
        if (closedAfter[i] >= 0.9 && closedAfter[i] < 2.0 && said[i].empty()) ++cutOff;
        close(slow[i]);
    }
    EXPECT_EQ(turnedAway, 8);
    EXPECT_EQ(cutOff, 4);
    EXPECT_GT(served, 10);
    const auto refused = ClosedWith(greedy);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->rfind("HTTP/1.1 431", 0), 0u);
    close(greedy);
    const auto refusedOver = ClosedWith(over);
    ASSERT_TRUE(refusedOver);
    EXPECT_EQ(refusedOver->rfind("HTTP/1.1 431", 0), 0u);
    close(over);
}

}  // namespace
