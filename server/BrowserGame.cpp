// The browser's files and pages.
#include "server/BrowserGame.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/Gzip.h"
#include "server/Page.h"

namespace blubbi::hiscore {

namespace {

std::string TypeOf(const std::string& name) {
    const std::string ext = std::filesystem::path(name).extension().string();
    if (ext == ".js") return "text/javascript; charset=utf-8";
    if (ext == ".wasm") return "application/wasm";
    if (ext == ".css") return "text/css; charset=utf-8";
    if (ext == ".wav") return "audio/wav";
    if (ext == ".ogg") return "audio/ogg";
    if (ext == ".gif") return "image/gif";
    if (ext == ".png") return "image/png";
    return "application/octet-stream";
}

bool TakesGzip(const THttpRequest& req) {
    std::istringstream parts(req.Header("Accept-Encoding"));
    for (std::string part; std::getline(parts, part, ',');) {
        std::erase_if(part, [](char ch) { return ch == ' ' || ch == '\t'; });
        const std::string coding = part.substr(0, part.find(';'));
        if (!EqualNoCase(coding, "gzip") && coding != "*") continue;
        // A weight of nothing but zeros refuses the coding.
        const size_t q = part.find(";q=");
        if (q == std::string::npos || part.find_first_not_of("0.", q + 3) != std::string::npos) return true;
    }
    return false;
}

constexpr const char* kPolicy =
    "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'";

// `meta`: more of the head (the link preview's lines).
std::string Head(const TWebFiles& files, const std::string& title, const std::string& meta = {}) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1, viewport-fit=cover\">\n"
        "<title>" +
        HtmlEscape(title) + "</title>\n<link rel=\"stylesheet\" href=\"/web/" + files.Name("style.css") + "\">\n";
    if (!files.Name("favicon.png").empty())
        out += "<link rel=\"icon\" type=\"image/png\" href=\"/web/" + files.Name("favicon.png") + "\">\n";
    return out + meta + "</head>\n";
}

std::string Scripts(const TWebFiles& files, const std::string& page) {
    std::string out;
    for (const std::string& kind : {std::string("blubbi.js"), std::string("game.js"), page})
        out += "<script src=\"/web/" + files.Name(kind) + "\"></script>\n";
    return out;
}

std::string Files(const TWebFiles& files) {
    std::string out =
        " data-wasm=\"/web/" + files.Name("blubbi.wasm") + "\" data-data=\"/web/" + files.Name("blubbi.data") + "\"";
    for (const auto& [kind, name] : files.Kinds())
        if (kind.ends_with(".wav") || kind.ends_with(".ogg"))
            out += " data-sound-" + kind.substr(0, kind.size() - 4) + "=\"/web/" + name + "\"";
    if (const std::string win = files.Name("gewonnen.gif"); !win.empty()) out += " data-win=\"/web/" + win + "\"";
    return out;
}

// The field at its own size until the script fits it to the window, with the notices over it.
std::string Stage(const std::string& message) {
    return "<main id=\"stage\"><canvas id=\"game\" width=\"681\" height=\"425\" tabindex=\"0\"></canvas>\n"
           "<div id=\"notice\"><p id=\"message\">" +
           message + "</p>";
}

constexpr const char* kFullButton = "<button id=\"full\" type=\"button\" title=\"Vollbild (F)\">Vollbild</button>";
constexpr const char* kSound =
    "<label><input id=\"music\" type=\"checkbox\" checked> Musik</label>"
    "<label><input id=\"effects\" type=\"checkbox\" checked> Effekte</label>";

// What a server built without the browser's files says on its pages.
void NoBrowser(THttpResponse& res) {
    res.SetContent(
        "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n<title>Blubbi Blubbo</title>\n"
        "</head>\n<body>\n<h1>Blubbi Blubbo</h1>\n<p>Dieser Server wurde ohne die Browser-Fassung des Spiels gebaut: "
        "Spielen und Ansehen im Browser gibt es hier nicht. Die Wiederholungen lassen sich aus der "
        "<a href=\"/\">Hiscoreliste</a> laden und im Spiel ansehen.</p>\n</body>\n</html>\n",
        "text/html; charset=utf-8");
}

void Page(THttpResponse& res, std::string html) {
    res.SetHeader("Content-Security-Policy", kPolicy);
    res.SetHeader("Cache-Control", "no-cache");
    res.SetContent(std::move(html), "text/html; charset=utf-8");
}

// An entry that is not there, or that the operator took out of the list, as a page of the site.
void NoEntry(THttpResponse& res, const TWebFiles& files) {
    Page(res, Head(files, "Blubbi Blubbo – Nicht gefunden") +
                  "<body class=\"text\">\n<h1>Dieses Spiel gibt es hier nicht</h1>\n<p>Der Eintrag ist nicht (mehr) in "
                  "der Hiscoreliste. <a href=\"/\">Zur Hiscoreliste</a> · <a href=\"/play\">Selbst spielen</a></p>\n"
                  "</body>\n</html>\n");
    res.Status = 404;
}

// The server's own address as the client named it, for the link preview's picture; empty when the
// Host field is not a plain host name or address with a port.
std::string Origin(const THttpRequest& req) {
    const std::string host = req.Header("Host");
    const bool plain = !host.empty() && host.size() <= 255 &&
                       host.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.-:[]") ==
                           std::string::npos;
    if (!plain) return {};
    const bool tls = EqualNoCase(req.Header("X-Forwarded-Proto"), "https");
    return (tls ? "https://" : "http://") + host;
}

// The link preview (Open Graph): the entry's name and points, and the picture of its last frame.
std::string Preview(const THttpRequest& req, const TScoreEntry& entry) {
    const std::string id = std::to_string(entry.Id), origin = Origin(req);
    const std::string title = HtmlEscape("Spiel von " + entry.Name + ": " + PointsText(entry.Points));
    return "<meta property=\"og:type\" content=\"website\">\n<meta property=\"og:site_name\" content=\"Blubbi "
           "Blubbo\">\n<meta property=\"og:title\" content=\"" +
           title + "\">\n<meta property=\"og:description\" content=\"Level " + std::to_string(entry.Level) +
           (entry.Verified ? ", vom Server nachgespielt und geprüft" : "") +
           ". Im Browser ansehen.\">\n<meta property=\"og:url\" content=\"" + origin + "/watch/" + id +
           "\">\n<meta property=\"og:image\" content=\"" + origin + "/replays/" + id +
           ".png\">\n<meta property=\"og:image:width\" content=\"681\">\n<meta property=\"og:image:height\" "
           "content=\"425\">\n<meta name=\"twitter:card\" content=\"summary_large_image\">\n";
}

// /watch/ID, and /embed/ID for other pages to show in a frame: the field and its controls only.
void WatchPage(const THttpRequest& req, THttpResponse& res, TScoreStore& store, const TWebFiles& files, bool embed) {
    if (!files.Present()) return NoBrowser(res);
    const auto entry = store.Get(std::stoll(req.Matches[1]));
    if (!entry) return NoEntry(res, files);
    const std::string id = std::to_string(entry->Id), name = HtmlEscape(entry->Name);
    const std::string heading = "Spiel von <span id=\"name\">" + name + "</span>: " + PointsText(entry->Points);
    std::string html = Head(files, "Blubbi Blubbo – Spiel von " + entry->Name, Preview(req, *entry)) + "<body" +
                       Files(files) + " data-replay=\"/replays/" + id + ".blubbi-replay\" data-points=\"" +
                       std::to_string(entry->Points) + "\" data-verified=\"" + (entry->Verified ? "1" : "0") + "\"" +
                       (embed ? " class=\"embed\"" : "") + ">\n";
    if (embed)
        html += "<header class=\"bar\"><a href=\"/watch/" + id + "\" target=\"_blank\" rel=\"noopener\">" + heading +
                "</a></header>\n";
    else
        html += "<header class=\"bar\"><a class=\"home\" href=\"/\">Hiscoreliste</a><h1>" + heading +
                "</h1><a href=\"/play\">Selbst spielen</a></header>\n";
    html += Stage("") + "</div></main>\n" +
            "<footer class=\"bar\"><button data-speed=\"1\" class=\"on\">1×</button><button data-speed=\"2\">2×"
            "</button><button data-speed=\"4\">4×</button><button id=\"pause\">Pause</button>"
            "<input id=\"position\" type=\"range\" min=\"0\" value=\"0\" aria-label=\"Stelle im Spiel\">"
            "<span id=\"frame\"></span><span id=\"status\"></span>" +
            kSound + kFullButton +
            "<span class=\"help\">Leertaste: Pause · ← →: ein Bild (in der Pause) oder 5 Sekunden · 1 2 4: "
            "Tempo</span></footer>\n" +
            Scripts(files, "watch.js") + "</body>\n</html>\n";
    Page(res, std::move(html));
}

}  // namespace

TWebFiles TWebFiles::Load(const std::string& dir) {
    TWebFiles web;
    std::ifstream manifest(std::filesystem::path(dir) / "manifest");
    for (std::string kind, name; manifest >> kind >> name;) {
        std::ifstream in(std::filesystem::path(dir) / name, std::ios::binary);
        if (!in || name.find('/') != std::string::npos) return {};
        TWebFile file;
        file.Type = TypeOf(name);
        file.Body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (std::string packed = Gzip(file.Body); packed.size() < file.Body.size()) file.Packed = std::move(packed);
        web.Files[name] = std::move(file);
        web.KindNames[kind] = name;
    }
    return web;
}

const TWebFile* TWebFiles::Find(const std::string& name) const {
    const auto found = Files.find(name);
    return found == Files.end() ? nullptr : &found->second;
}

std::string TWebFiles::Name(const std::string& kind) const {
    const auto found = KindNames.find(kind);
    return found == KindNames.end() ? std::string() : found->second;
}

void InstallBrowserGame(THttpRoutes& routes, TScoreStore& store, const TWebFiles& files) {
    routes.Get(R"(/web/([A-Za-z0-9._-]{1,80}))", [&files](const THttpRequest& req, THttpResponse& res) {
        const TWebFile* file = files.Find(req.Matches[1]);
        if (file == nullptr) {
            res.Status = 404;
            return;
        }
        // Named by their content: a new build has new names, so a browser may keep these for good.
        res.SetHeader("Cache-Control", "public, max-age=31536000, immutable");
        res.SetHeader("Vary", "Accept-Encoding");
        res.SetHeader("X-Content-Type-Options", "nosniff");
        if (!file->Packed.empty() && TakesGzip(req)) {
            res.SetHeader("Content-Encoding", "gzip");
            res.SetContent(file->Packed, file->Type);
        } else {
            res.SetContent(file->Body, file->Type);
        }
    });

    routes.Get("/play", [&files](const THttpRequest&, THttpResponse& res) {
        if (!files.Present()) return NoBrowser(res);
        Page(res,
             Head(files, "Blubbi Blubbo – Spielen") + "<body" + Files(files) +
                 ">\n<header class=\"bar\"><a class=\"home\" href=\"/\">Hiscoreliste</a><span id=\"status\">"
                 "</span>" +
                 kSound + kFullButton +
                 "<span class=\"help\">← →: laufen · ↑: springen · Leertaste: Blasen · Esc: Pause · F: "
                 "Vollbild</span></header>\n" +
                 Stage("Das Spiel wird geladen …") +
                 "\n<form id=\"entry\" hidden>\n<p>Spiel vorbei: <b id=\"points\"></b>. In die Hiscoreliste "
                 "eintragen?</p>\n<label>Name <input id=\"name\" maxlength=\"32\" required autocomplete=\"nickname\">"
                 "</label>\n<button id=\"send\" type=\"submit\">Eintragen</button> <button id=\"skip\" "
                 "type=\"button\">Nein danke</button> <button id=\"continue\" "
                 "type=\"button\">Weiterspielen</button>\n<p id=\"answer\"></p>\n<p><a id=\"download\" "
                 "download=\"blubbi-spiel.blubbi-replay\" href=\"#\">Wiederholung speichern</a></p>\n</form>\n"
                 "</div></main>\n"
                 "<div id=\"touch\"><div class=\"pad\"><button type=\"button\" data-key=\"37\" "
                 "aria-label=\"links\">◀</button><button type=\"button\" data-key=\"39\" aria-label=\"rechts\">▶"
                 "</button></div><button type=\"button\" id=\"touch-pause\" aria-label=\"Pause\">❚❚</button>"
                 "<div class=\"pad\"><button type=\"button\" data-key=\"32\" aria-label=\"Blase\">●</button>"
                 "<button type=\"button\" data-key=\"38\" aria-label=\"springen\">▲</button></div></div>\n" +
                 Scripts(files, "play.js") + "</body>\n</html>\n");
    });

    routes.Get(R"(/watch/(\d{1,18}))", [&files, &store](const THttpRequest& req, THttpResponse& res) {
        WatchPage(req, res, store, files, false);
    });
    routes.Get(R"(/embed/(\d{1,18}))", [&files, &store](const THttpRequest& req, THttpResponse& res) {
        WatchPage(req, res, store, files, true);
    });
    // Asked for by browsers on every page of the site, the list's too.
    routes.Get("/favicon.ico", [&files](const THttpRequest&, THttpResponse& res) {
        const TWebFile* icon = files.Find(files.Name("favicon.png"));
        if (icon == nullptr) {
            res.Status = 404;
            return;
        }
        res.SetHeader("Cache-Control", "public, max-age=86400");
        res.SetContent(icon->Body, icon->Type);
    });
}

bool AcceptsGzip(const THttpRequest& req) { return TakesGzip(req); }

}  // namespace blubbi::hiscore
