// The browser's files and pages.
#include "server/BrowserGame.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/compress/Gzip.h"
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

std::string Head(const TWebFiles& files, const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + HtmlEscape(title) +
           "</title>\n<link rel=\"stylesheet\" href=\"/web/" + files.Name("style.css") + "\">\n</head>\n";
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
    return out;
}

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
        Page(res, Head(files, "Blubbi Blubbo – Spielen") + "<body" + Files(files) +
                      ">\n<h1>Blubbi Blubbo</h1>\n<p><b>Pfeiltasten links und rechts</b> laufen, <b>Pfeil nach "
                      "oben</b> springt, die <b>Leertaste</b> spuckt Blasen; <b>Esc</b> oder <b>Pause</b> hält das "
                      "Spiel an und lässt es weiterlaufen. <a href=\"/\">Hiscoreliste</a></p>\n"
                      "<div class=\"bar\"><span id=\"status\"></span><label><input id=\"mute\" type=\"checkbox\"> "
                      "ohne Ton</label></div>\n<canvas id=\"game\" tabindex=\"0\">"
                      "</canvas>\n<p id=\"message\">Das Spiel wird geladen …</p>\n"
                      "<form id=\"entry\" hidden>\n<p>Spiel vorbei: <b id=\"points\"></b> Punkte. In die Hiscoreliste "
                      "eintragen?</p>\n<label>Name <input id=\"name\" maxlength=\"32\" required></label>\n"
                      "<button id=\"send\" type=\"submit\">Eintragen</button> <button id=\"skip\" type=\"button\">"
                      "Nein danke</button>\n<p id=\"answer\"></p>\n</form>\n" +
                      Scripts(files, "play.js") + "</body>\n</html>\n");
    });

    routes.Get(R"(/watch/(\d{1,18}))", [&files, &store](const THttpRequest& req, THttpResponse& res) {
        if (!files.Present()) return NoBrowser(res);
        const auto entry = store.Get(std::stoll(req.Matches[1]));
        if (!entry) {
            res.Status = 404;
            return;
        }
        const std::string id = std::to_string(entry->Id), name = HtmlEscape(entry->Name);
        Page(res, Head(files, "Blubbi Blubbo – Spiel von " + entry->Name) + "<body" + Files(files) +
                      " data-replay=\"/replays/" + id + ".blubbi-replay\" data-points=\"" +
                      std::to_string(entry->Points) + "\" data-verified=\"" + (entry->Verified ? "1" : "0") +
                      "\">\n<h1>Spiel von <span id=\"name\">" + name + "</span>: " + std::to_string(entry->Points) +
                      " Punkte</h1>\n<p><a href=\"/\">Hiscoreliste</a> · <a href=\"/play\">Selbst spielen</a></p>\n"
                      "<div class=\"bar\"><button data-speed=\"1\" class=\"on\">1×</button><button data-speed=\"2\">2×"
                      "</button><button data-speed=\"4\">4×</button><button id=\"pause\">Pause</button>"
                      "<input id=\"position\" type=\"range\" min=\"0\" value=\"0\" aria-label=\"Stelle im Spiel\">"
                      "<span id=\"frame\"></span></div>\n<div class=\"bar\"><span id=\"status\"></span><label>"
                      "<input id=\"mute\" type=\"checkbox\"> ohne Ton</label></div>\n"
                      "<canvas id=\"game\"></canvas>\n<p id=\"message\"></p>\n" +
                      Scripts(files, "watch.js") + "</body>\n</html>\n");
    });
}

bool AcceptsGzip(const THttpRequest& req) { return TakesGzip(req); }

}  // namespace blubbi::hiscore
