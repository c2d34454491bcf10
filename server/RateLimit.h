// Submissions per client address: a bucket of tokens that refills at a steady rate.
#pragma once
#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace blubbi::hiscore {

class TRateLimit {
public:
    using TClock = std::chrono::steady_clock;
    // perMinute tokens come back each minute, at most burst are kept; perMinute 0 lets everything through.
    TRateLimit(double perMinute, double burst) : PerMinute(perMinute), Burst(burst) {}

    // Takes a token of this address; false when it has none left. secondsToWait then says when one is back.
    bool Take(const std::string& address, TClock::time_point now, int& secondsToWait);

private:
    struct TBucket {
        double Tokens;
        TClock::time_point Last;
    };
    double PerMinute, Burst;
    std::mutex Mutex;
    std::unordered_map<std::string, TBucket> Buckets;
};

}  // namespace blubbi::hiscore
