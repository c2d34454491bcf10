// gzip through zlib, bounded on the way in.
#include "base/Gzip.h"

#include <zlib.h>

namespace blubbi {

namespace {
constexpr int kGzipWindow = 15 + 16;  // zlib's largest window, with the gzip header and trailer
}

std::string Gzip(std::string_view bytes) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindow, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int done = deflate(&z, Z_FINISH);
    out.resize(done == Z_STREAM_END ? z.total_out : 0);
    deflateEnd(&z);
    return out;
}

bool IsGzip(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b'; }

std::optional<std::string> Gunzip(std::string_view packed, size_t maxBytes) {
    z_stream z{};
    if (inflateInit2(&z, kGzipWindow) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    std::string out;
    char chunk[64 * 1024];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        const size_t got = sizeof chunk - z.avail_out;
        if (out.size() + got > maxBytes) status = Z_BUF_ERROR;
        if (status == Z_OK || status == Z_STREAM_END) out.append(chunk, got);
        if (status == Z_OK && got == 0 && z.avail_in == 0) status = Z_BUF_ERROR;  // cut short
    }
    const bool whole = status == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

}  // namespace blubbi
