// Writing and reading the recovery file.
#include "level/RecoveryFile.h"

#include <algorithm>
#include <string_view>

#include "level/LevelCodec.h"

namespace blubbi {

namespace {
constexpr std::string_view kMagic = "Blubbi Blubbo Wiederherstellung 1\n";
constexpr std::string_view kName = "name: ", kTime = "time: ";
constexpr size_t kMaxLine = 1024;

// One line of text: no line breaks or other control characters, and not too long.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    if (text.size() > kMaxLine) text.resize(kMaxLine);
    return text;
}
}  // namespace

std::vector<uint8_t> EncodeRecovery(const TRecovery& kept) {
    const std::string head = std::string(kMagic) + std::string(kName) + OneLine(kept.Name) + "\n" + std::string(kTime) +
                             OneLine(kept.Time) + "\n\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), kept.Level.begin(), kept.Level.end());
    return out;
}

std::optional<TRecovery> DecodeRecovery(const std::vector<uint8_t>& bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!text.starts_with(kMagic)) return std::nullopt;
    TRecovery kept;
    size_t at = kMagic.size();
    for (const auto& [key, field] : {std::pair{kName, &kept.Name}, std::pair{kTime, &kept.Time}}) {
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos || end - at > kMaxLine + key.size() || !text.substr(at).starts_with(key))
            return std::nullopt;
        *field = std::string(text.substr(at + key.size(), end - at - key.size()));
        at = end + 1;
    }
    if (at >= text.size() || text[at] != '\n' || bytes.size() - at - 1 > kLevelMaxFileBytes) return std::nullopt;
    kept.Level.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 1), bytes.end());
    return kept;
}

}  // namespace blubbi
