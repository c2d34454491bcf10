// The hiscore list as an HTML page and as JSON.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/ScoreStore.h"

namespace blubbi::hiscore {

std::string HtmlEscape(std::string_view text);
// "1 Punkt", "0 Punkte", "250 Punkte"
std::string PointsText(int64_t points);
// "07.12.2026 11:14 UTC"
std::string GermanDate(int64_t unixSeconds);
// "2026-12-07T11:14:03Z"
std::string IsoDate(int64_t unixSeconds);

// Where a page of the list begins: at a count of entries, or after an entry (by its id).
struct TPageAt {
    int Offset = 0;
    std::optional<int64_t> After;
};

// maxMinutes: the longest game the server takes, told on the page. A full page links on by its
// last entry.
// ofName: the page of one name's games.
std::string ListPage(const std::vector<TScoreEntry>& page, int64_t total, const TPageAt& at, int limit,
                     int64_t maxMinutes, const std::string& ofName = {});
std::string ListJson(const std::vector<TScoreEntry>& page, int64_t total, const TPageAt& at, int limit);

}  // namespace blubbi::hiscore
