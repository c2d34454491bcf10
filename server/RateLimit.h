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
    // Takes `tokens` more of this address for work it caused (the time its replay's check took);
    // it may then owe up to a burst's worth, paid back by waiting.
    void Charge(const std::string& address, double tokens, TClock::time_point now);

    // The bucket an address counts in: an IPv4 address itself, an IPv6 one by its /64 network, as
    // one connection commonly has a whole /64 to pick from.
    static std::string Bucket(const std::string& address);

private:
    struct TBucket {
        double Tokens;
        TClock::time_point Last;
    };
    TBucket& Refilled(const std::string& bucket, TClock::time_point now);
    double PerMinute, Burst;
    std::mutex Mutex;
    std::unordered_map<std::string, TBucket> Buckets;
};

}  // namespace blubbi::hiscore
