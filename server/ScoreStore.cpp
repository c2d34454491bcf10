// Opening a store by its URL, the default SQLite file, and the place numbers of a list page.
#include "server/ScoreStore.h"

#include <cstdlib>

#include "server/PostgresStore.h"
#include "server/SqliteStore.h"

namespace blubbi::hiscore {

void AssignRanks(std::vector<TScoreEntry>& page, int offset, int64_t aboveFirst) {
    const TScoreEntry* previous = nullptr;
    for (size_t i = 0; i < page.size(); ++i) {
        auto& e = page[i];
        if (!e.Ranked) break;
        if (!previous)
            e.Rank = aboveFirst + 1;
        else if (previous->Points == e.Points)
            e.Rank = previous->Rank;
        else
            e.Rank = static_cast<int64_t>(offset) + static_cast<int64_t>(i) + 1;
        previous = &e;
    }
}

std::string DefaultSqlitePath() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    return base + "/blubbi-blubbo/hiscore.sqlite";
}

std::unique_ptr<TScoreStore> OpenStore(const std::string& url, int connections) {
    if (url.rfind("sqlite:", 0) == 0) return std::make_unique<TSqliteStore>(url.substr(7));
    if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
        return std::make_unique<TPostgresStore>(url, connections);
    throw std::invalid_argument("unknown database kind (sqlite:PATH or postgresql://...)");
}

}  // namespace blubbi::hiscore
