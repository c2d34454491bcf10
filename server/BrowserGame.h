// The game in the browser, as this server serves it: the files scripts/build-web.sh made (named by
// their content, kept for good by browsers), the play page and the watch page of every entry.
#pragma once
#include <map>
#include <optional>
#include <string>

#include "server/Http.h"
#include "server/ScoreStore.h"

namespace blubbi::hiscore {

struct TWebFile {
    std::string Type;
    std::string Body;
    std::string Packed;  // gzip, when that is smaller
};

class TWebFiles {
public:
    // The files DIR/manifest lists ("KIND NAME" lines, KIND such as blubbi.js); none when there is
    // no manifest or a file it lists is missing.
    static TWebFiles Load(const std::string& dir);
    bool Present() const { return !Files.empty(); }
    const TWebFile* Find(const std::string& name) const;
    // The file's name for its kind ("watch.js"); empty when there is none.
    std::string Name(const std::string& kind) const;
    const std::map<std::string, std::string>& Kinds() const { return KindNames; }

private:
    std::map<std::string, TWebFile> Files;
    std::map<std::string, std::string> KindNames;
};

// GET /web/NAME, /play and /watch/ID.
void InstallBrowserGame(THttpRoutes& routes, TScoreStore& store, const TWebFiles& files);

// Whether the client takes gzip (Accept-Encoding), as the answers with packed bodies ask.
bool AcceptsGzip(const THttpRequest& req);

}  // namespace blubbi::hiscore
