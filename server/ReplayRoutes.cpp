// Each entry's replay and the picture of its last frame, with their tags for a client's cache.
#include "server/ReplayRoutes.h"

#include "base/Gzip.h"
#include "base/Sha256.h"

namespace blubbi::hiscore {

namespace {

// An entry's replay and picture never change once kept: the tag of their bytes answers a client that
// has them already with 304.
bool NotModified(const THttpRequest& req, THttpResponse& res, const std::string& bytes) {
    const std::string tag = "\"" + Sha256Hex(bytes).substr(0, 32) + "\"";
    res.SetHeader("ETag", tag);
    const std::string asked = req.Header("If-None-Match");
    if (asked.empty() || (asked != "*" && asked.find(tag) == std::string::npos)) return false;
    res.Status = 304;
    return true;
}

}  // namespace

// Each entry's replay and the picture of its last frame.
void InstallReplays(THttpRoutes& server, TServiceContext& c) {
    server.Get(R"(/replays/(\d{1,18})\.blubbi-replay)", Limited(c, [&c](const THttpRequest& req, THttpResponse& res) {
                   auto stored = c.Store.Replay(std::stoll(req.Matches[1]));
                   if (!stored) {
                       res.Status = 404;
                       return;
                   }
                   res.SetHeader("Cache-Control", "public, max-age=86400");
                   res.SetHeader("Content-Disposition",
                                 "attachment; filename=\"" + req.Matches[1] + ".blubbi-replay\"");
                   res.SetHeader("Vary", "Accept-Encoding");
                   if (NotModified(req, res, *stored)) return;
                   // Kept packed: sent so to whoever takes gzip, unpacked to the others.
                   if (IsGzip(*stored) && AcceptsGzip(req)) {
                       res.SetHeader("Content-Encoding", "gzip");
                       return res.SetContent(std::move(*stored), "application/octet-stream");
                   }
                   const auto text = TServiceContext::Unpacked(std::move(stored));
                   if (!text) throw TStoreError("entry " + req.Matches[1] + ": its replay does not unpack");
                   res.SetContent(*text, "application/octet-stream");
               }));

    server.Get(R"(/replays/(\d{1,18})\.png)", Limited(c, [&c](const THttpRequest& req, THttpResponse& res) {
                   const int64_t id = std::stoll(req.Matches[1]);
                   const auto png = c.Store.Picture(id);
                   if (png && !png->empty()) {
                       res.SetHeader("Cache-Control", "public, max-age=86400");
                       if (NotModified(req, res, *png)) return;
                       res.SetContent(*png, "image/png");
                       return;
                   }
                   // None yet (entered before pictures were drawn at once, or still being drawn): it comes.
                   if (!png && c.Verifier && c.Store.Get(id)) {
                       c.DrawLater(id, ClientAddress(c, req));
                       res.Status = 503;
                       res.SetHeader("Retry-After", "30");
                       res.SetHeader("Cache-Control", "no-store");
                       res.SetContent("Das Bild wird gerade gezeichnet. Bitte später noch einmal.\n",
                                      "text/plain; charset=utf-8");
                       return;
                   }
                   res.Status = 404;  // no such entry, or its drawing failed
               }));
}

}  // namespace blubbi::hiscore
