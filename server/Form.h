// Reading a score submission: the multipart form's fields, checked before any work is done.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/Http.h"

namespace blubbi::hiscore {

constexpr size_t kMaxNameLength = 32;  // characters (code points) after trimming
// A replay sent packed unpacks to at most this: twice what two hours of the game's own levels take
// (ten minutes with a jittering timer and a key change a second are some 70 KB; a player's own
// levels, whole in the replay, add up to 1 MB each).
constexpr size_t kMaxReplayBytes = size_t{4} << 20;

struct TSubmission {
    std::string Name;  // UTF-8, trimmed
    int32_t Points = 0;
    std::string Replay;
};

struct TFormResult {
    std::optional<TSubmission> Submission;
    int Status = 400;    // when refused
    std::string Reason;  // German
};

TFormResult ReadSubmission(const THttpRequest& request);

// The fields of a multipart/form-data body by name, in their order; nothing when the type is another
// or the body is not well formed (no boundary, a part without a name, an unclosed part, more than
// 16 parts).
std::optional<THttpFields> ReadMultipart(std::string_view contentType, std::string_view body);

// The name as it is entered: valid UTF-8, white space trimmed at both ends, 1 to 32 characters,
// no control or direction-changing characters. Nothing, with a German reason, otherwise.
std::optional<std::string> CleanName(std::string_view raw, std::string& reason);

// Decimal digits of a number from 0 to 2147483647, white space around allowed.
std::optional<int32_t> ParsePoints(std::string_view text);

}  // namespace blubbi::hiscore
