// The shared state's own work: pictures drawn later, the replays seen, the client's address and the
// read rate.
#include "server/ServiceContext.h"

#include <arpa/inet.h>

#include <algorithm>
#include <iostream>

#include "base/Gzip.h"
#include "server/Form.h"

namespace blubbi::hiscore {

void TServiceContext::DrawLater(int64_t id, const std::string& client) {
    if (!Verifier) return;
    {
        std::lock_guard lock(DrawingLock);
        if (!Drawing.insert(id).second) return;
    }
    const bool queued = Drawer.Post([this, id, client] {
        try {
            if (!Stopping) {
                const auto replay = Unpacked(Store.Replay(id));
                const auto start = std::chrono::steady_clock::now();
                const auto png =
                    replay ? Verifier->LastFramePng(*replay, Limits.MaxFrames, Stopping, start + Limits.PictureTime)
                           : std::nullopt;
                // The drawing's time is the address's that sent the game, as its check's is.
                const auto end = std::chrono::steady_clock::now();
                Rate.Charge(client, std::chrono::duration<double>(end - start).count(), end);
                if (!Stopping) Store.SavePicture(id, png.value_or(std::string()));
            }
        } catch (const std::exception& e) {
            // The database failed: the picture stays undrawn, and a later view asks again.
            std::cerr << "blubbi-hiscore: the picture of entry " << id << " was not drawn: " << e.what() << std::endl;
        }
        std::lock_guard lock(DrawingLock);
        Drawing.erase(id);
    });
    if (queued) return;
    std::lock_guard lock(DrawingLock);
    Drawing.erase(id);
}

std::optional<std::string> TServiceContext::Unpacked(std::optional<std::string> stored) {
    if (!stored || !IsGzip(*stored)) return stored;
    return Gunzip(*stored, kMaxReplayBytes);
}

void TServiceContext::Seen(const std::string& bytesHash, int64_t id) {
    std::lock_guard lock(SeenLock);
    if (SeenIds.size() >= 100000) SeenIds.clear();  // a bound, not a history
    SeenIds[bytesHash] = id;
}

std::optional<int64_t> TServiceContext::SeenBefore(const std::string& bytesHash) {
    std::lock_guard lock(SeenLock);
    const auto it = SeenIds.find(bytesHash);
    if (it == SeenIds.end()) return std::nullopt;
    return it->second;
}

std::string ClientAddress(const TServiceContext& c, const THttpRequest& req) {
    if (c.Limits.TrustedProxy.empty() || req.RemoteAddr != c.Limits.TrustedProxy) return req.RemoteAddr;
    // Several fields are one list in their order: the proxy's own address comes last, in the last one.
    std::string forwarded;
    for (const auto& [name, value] : req.Headers)
        if (EqualNoCase(name, "X-Forwarded-For")) forwarded += (forwarded.empty() ? "" : ",") + value;
    std::string last = forwarded.substr(forwarded.rfind(',') + 1);
    std::erase_if(last, [](char ch) { return ch == ' ' || ch == '\t'; });
    unsigned char probe[sizeof(in6_addr)];
    const bool address = inet_pton(AF_INET, last.c_str(), probe) == 1 || inet_pton(AF_INET6, last.c_str(), probe) == 1;
    return address ? last : req.RemoteAddr;
}

THttpHandler Limited(TServiceContext& c, THttpHandler handler) {
    return [&c, handler = std::move(handler)](const THttpRequest& req, THttpResponse& res) {
        int wait = 0;
        if (c.Limits.ReadsPerMinute > 0 && !c.Reads.Take(ClientAddress(c, req), TRateLimit::TClock::now(), wait)) {
            res.SetHeader("Retry-After", std::to_string(wait));
            res.Status = 429;
            return res.SetContent(
                "Zu viele Anfragen von dieser Adresse. Bitte in " + std::to_string(wait) + " Sekunden noch einmal.\n",
                "text/plain; charset=utf-8");
        }
        handler(req, res);
    };
}

}  // namespace blubbi::hiscore
