// libFuzzer target: any bytes as the body of a score submission, through the multipart reader into
// the server's form reader and routes (test replay checker, store in memory).
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>

#include "server/Http.h"
#include "server/Service.h"
#include "tests/server/FakeVerifier.h"

using namespace blubbi::hiscore;

namespace {

struct TSetup {
    std::unique_ptr<TScoreStore> Store = OpenStore("sqlite::memory:");
    TFakeVerifier Verifier;
    TLimits Limits{.SubmissionsPerMinute = 0,
                   .VerifyTime = std::chrono::milliseconds(100),
                   .PictureQueue = 0,  // no drawing: it would reach the in-memory store on a connection of its own
                   .VerifyThreads = 1,
                   .LogRequests = false};
    THiscoreService Service{*Store, &Verifier, Limits};
    THttpRoutes Routes;
    TSetup() { Service.Install(Routes); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TSetup setup;
    THttpRequest request;
    request.Method = "POST";
    request.RemoteAddr = "127.0.0.1";
    if (!ParseTarget("/api/scores", request)) __builtin_trap();
    request.Headers = {{"Content-Type", "multipart/form-data; boundary=b"}};
    request.Body.assign(reinterpret_cast<const char*>(data), size);
    THttpResponse response;
    setup.Routes.Answer(request, response);

    // Every answer is one of the server's, and an answer to the game is JSON.
    static const std::set<int> statuses{200, 201, 400, 409, 413, 415, 422, 503};
    if (!statuses.count(response.Status)) __builtin_trap();
    const auto json = nlohmann::json::parse(response.Body, nullptr, false);
    if (json.is_discarded() || !json.contains("reason")) __builtin_trap();
    return 0;
}
