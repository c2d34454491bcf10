// Writing the list: one German page that needs no script, and the same entries as JSON.
#include "server/Page.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace blubbi::hiscore {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string PointsText(int64_t points) { return std::to_string(points) + (points == 1 ? " Punkt" : " Punkte"); }

namespace {

std::string FormatTime(int64_t unixSeconds, const char* format) {
    const auto t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    return std::string(buf, std::strftime(buf, sizeof buf, format, &tm));
}

// A text as one value of a query: everything but letters, digits and -._~ as %XX.
std::string QueryValue(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-' ||
            ch == '.' || ch == '_' || ch == '~') {
            out += ch;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

void PageLink(std::string& out, const std::string& query, const char* text) {
    out += "<a href=\"/" + query + "\">" + text + "</a>";
}

}  // namespace

std::string GermanDate(int64_t unixSeconds) { return FormatTime(unixSeconds, "%d.%m.%Y %H:%M UTC"); }
std::string IsoDate(int64_t unixSeconds) { return FormatTime(unixSeconds, "%Y-%m-%dT%H:%M:%SZ"); }

std::string ListPage(const std::vector<TScoreEntry>& page, int64_t total, const TPageAt& at, int limit,
                     int64_t maxMinutes, const std::string& ofName) {
    std::string out;
    out.reserve(2048 + page.size() * 600);
    out += R"(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Blubbi Blubbo – Hiscoreliste</title>
<style>
body { font-family: sans-serif; margin: 1em 2em; color: #222; }
h1 { font-size: 1.6em; }
table { border-collapse: collapse; }
th, td { padding: 0.3em 0.7em; border-bottom: 1px solid #ccc; text-align: left; vertical-align: middle; }
td.zahl, th.zahl { text-align: right; }
td { white-space: nowrap; }
td.name { white-space: normal; max-width: 20em; overflow-wrap: anywhere; }
img { width: 170px; height: 106px; image-rendering: pixelated; background: #eee; }
.geprueft { color: #080; font-weight: bold; }
.hinweis { color: #666; font-size: 0.9em; }
nav { margin: 1em 0; }
nav a { margin-right: 1em; }
</style>
</head>
<body>
<h1>Blubbi Blubbo – Hiscoreliste</h1>
)";
    if (!ofName.empty())
        out += "<p>Alle Spiele von „" + HtmlEscape(ofName) +
               "“; die Liste zeigt jeden Namen einmal, mit seinem besten Spiel. <a href=\"/\">Zur Liste</a></p>\n";
    out +=
        R"(<p>Jeder Eintrag wurde anhand der Wiederholung seines Spiels nachgespielt: Die Punkte zählen nur, wenn das Spiel
genau mit ihnen endete. Einen Platz bekommen Spiele, die auf Level 1 beginnen, mit den Leveln des Spiels, ohne
Level-Editor und ohne Schummelcode.</p>
)";
    out += "<p>" + std::to_string(total) + (total == 1 ? " Eintrag" : " Einträge") + ".</p>\n";
    if (page.empty()) {
        out += "<p>Noch keine Einträge.</p>\n";
    } else {
        out +=
            "<table>\n<thead><tr><th class=\"zahl\">Platz</th><th>Name</th><th class=\"zahl\">Punkte</th>"
            "<th class=\"zahl\">Level</th><th>Datum</th><th>Geprüft</th><th>Letztes Bild</th>"
            "<th>Wiederholung</th></tr></thead>\n<tbody>\n";
        for (const auto& e : page) {
            const std::string id = std::to_string(e.Id);
            out += "<tr id=\"e" + id + "\"><td class=\"zahl\">";
            out += e.Rank ? std::to_string(*e.Rank) + "." : std::string("–");
            // The name leads to its page, with every game entered under it.
            out += "</td><td class=\"name\"><a href=\"/name?name=" + QueryValue(e.Name) + "\">" + HtmlEscape(e.Name) +
                   "</a>";
            if (!e.Note.empty()) out += "<br><span class=\"hinweis\">ohne Platz: " + HtmlEscape(e.Note) + "</span>";
            out += "</td><td class=\"zahl\">" + std::to_string(e.Points) + "</td><td class=\"zahl\">" +
                   std::to_string(e.Level) + "</td><td>" + GermanDate(e.CreatedAt) + "</td><td>";
            out += e.Verified ? "<span class=\"geprueft\" title=\"geprüft\">✓ geprüft</span>" : "nein";
            out.append("</td><td><img src=\"/replays/").append(id).append(".png\" alt=\"Letztes Bild von Eintrag ");
            out.append(id).append("\" loading=\"lazy\"></td><td><a href=\"/replays/").append(id);
            out.append(".blubbi-replay\" download>Wiederholung</a> · <a href=\"/watch/").append(id);
            out.append("\">Ansehen</a></td></tr>\n");
        }
        out += "</tbody>\n</table>\n";
    }
    const bool more = static_cast<int>(page.size()) == limit;
    if (at.After || at.Offset > 0 || more) {
        out += "<nav>";
        if (at.After)
            PageLink(out, "", "« Zum Anfang");
        else if (at.Offset > 0)
            PageLink(out, "?offset=" + std::to_string(std::max(0, at.Offset - limit)), "« Bessere Plätze");
        if (more) PageLink(out, "?after=" + std::to_string(page.back().Id), "Weitere Plätze »");
        out += "</nav>\n";
    }
    out += "<p class=\"hinweis\">Eine Wiederholung lässt sich im Spiel ansehen. Angenommen werden Spiele bis " +
           std::to_string(maxMinutes) + " Minuten Spielzeit.</p>\n</body>\n</html>\n";
    return out;
}

std::string ListJson(const std::vector<TScoreEntry>& page, int64_t total, const TPageAt& at, int limit) {
    nlohmann::json scores = nlohmann::json::array();
    for (const auto& e : page) {
        const std::string id = std::to_string(e.Id);
        scores.push_back({{"id", e.Id},
                          {"rank", e.Rank ? nlohmann::json(*e.Rank) : nlohmann::json(nullptr)},
                          {"name", e.Name},
                          {"points", e.Points},
                          {"level", e.Level},
                          {"frames", e.Frames},
                          {"verified", e.Verified},
                          {"ranked", e.Ranked},
                          {"note", e.Note},
                          {"date", IsoDate(e.CreatedAt)},
                          {"data", e.DataVersion},
                          {"replay", "/replays/" + id + ".blubbi-replay"},
                          {"picture", "/replays/" + id + ".png"}});
    }
    nlohmann::json out = {{"total", total}, {"limit", limit}};
    if (at.After)
        out["after"] = *at.After;
    else
        out["offset"] = at.Offset;
    // The next page, by this one's last entry: `?after=` that id.
    out["next"] = static_cast<int>(page.size()) == limit ? nlohmann::json(page.back().Id) : nlohmann::json(nullptr);
    out["scores"] = std::move(scores);
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi::hiscore
