// The per-address token buckets.
#include "server/RateLimit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cmath>

namespace blubbi::hiscore {

std::string TRateLimit::Bucket(const std::string& address) {
    in6_addr v6{};
    if (address.find(':') == std::string::npos || inet_pton(AF_INET6, address.c_str(), &v6) != 1) return address;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) return address.substr(address.rfind(':') + 1);
    std::fill(v6.s6_addr + 8, v6.s6_addr + 16, uint8_t{0});
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &v6, text, sizeof text);
    return std::string(text) + "/64";
}

TRateLimit::TBucket& TRateLimit::Refilled(const std::string& bucket, TClock::time_point now) {
    const auto refill = [&](TBucket& b) {
        const double minutes = std::chrono::duration<double, std::ratio<60>>(now - b.Last).count();
        b.Tokens = std::min(Burst, b.Tokens + std::max(0.0, minutes) * PerMinute);
        b.Last = std::max(b.Last, now);
    };
    // Forget full buckets now and then, so that many addresses cannot fill the memory.
    if (Buckets.size() > 100000) {
        std::erase_if(Buckets, [&](const auto& item) {
            TBucket b = item.second;
            refill(b);
            return b.Tokens >= Burst;
        });
    }
    auto [it, fresh] = Buckets.try_emplace(bucket, TBucket{Burst, now});
    if (!fresh) refill(it->second);
    return it->second;
}

bool TRateLimit::Take(const std::string& address, TClock::time_point now, int& secondsToWait) {
    secondsToWait = 0;
    if (PerMinute <= 0) return true;
    std::lock_guard lock(Mutex);
    TBucket& b = Refilled(Bucket(address), now);
    if (b.Tokens >= 1) {
        b.Tokens -= 1;
        return true;
    }
    secondsToWait = std::max(1, static_cast<int>(std::ceil((1 - b.Tokens) * 60 / PerMinute - 1e-6)));
    return false;
}

void TRateLimit::Charge(const std::string& address, double tokens, TClock::time_point now) {
    if (PerMinute <= 0 || tokens <= 0) return;
    std::lock_guard lock(Mutex);
    TBucket& b = Refilled(Bucket(address), now);
    b.Tokens = std::max(-Burst, b.Tokens - tokens);
}

}  // namespace blubbi::hiscore
