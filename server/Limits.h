// What the hiscore server allows each client and itself: sizes, rates, times and threads.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace blubbi::hiscore {

constexpr int64_t kFramesPerSecond = 40;  // the game's frame timer runs every 25 ms

struct TLimits {
    size_t MaxBody = 1 << 20;                            // bytes of a submission, 1 MB
    int64_t MaxFrames = 2 * 60 * 60 * kFramesPerSecond;  // two hours of play
    double SubmissionsPerMinute = 6;                     // per client address; 0: no limit
    double SubmissionBurst = 10;
    std::chrono::milliseconds VerifyTime{10000};  // from the start of the check to the answer
    // What the submissions in work may hold at once, their bodies and unpacked replays together; one
    // that would pass it waits this long for room, else is answered 503.
    size_t SubmissionMemory = size_t{256} << 20;
    std::chrono::milliseconds MemoryWait{2000};
    // Reading requests (lists, replays, pictures) per client address; 0 a minute: no limit.
    double ReadsPerMinute = 1200;
    double ReadBurst = 600;
    // The last frame of each entry's game is drawn once, right after its check, on a thread of its
    // own, within this time; a drawing that fails or runs out is remembered as none.
    std::chrono::milliseconds PictureTime{120000};
    size_t PictureQueue = 256;
    int VerifyThreads = 2;
    size_t VerifyQueue = 32;
    int PageSize = 100;  // entries on one list page
    int MaxPageSize = 500;
    // How long a list answer is reused. This server's own new scores show at once; those that other
    // servers on the same database take show after at most this time.
    std::chrono::milliseconds ListCacheTime{1000};
    // The address of the proxy in front of the server, whose X-Forwarded-For is believed; empty: none.
    std::string TrustedProxy{};
    bool LogRequests = true;  // a line on standard output for each request
    // The operator's token (Authorization: Bearer TOKEN) for /admin/hide and /admin/ban; empty: those
    // routes are not there.
    std::string AdminToken{};
    // The browser's files (scripts/build-web.sh); where there are none, /play and /watch say so.
    std::string WebDir{};
};

}  // namespace blubbi::hiscore
