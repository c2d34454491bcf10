// The embedded store: one SQLite file in write-ahead-log mode, synced on every commit.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "server/ConnectionPool.h"
#include "server/ScoreStore.h"

struct sqlite3;
struct sqlite3_stmt;

namespace blubbi::hiscore {

class TSqliteStore : public TScoreStore {
public:
    // Creates the file, its folder and the tables when missing.
    explicit TSqliteStore(const std::string& path);
    ~TSqliteStore() override;

    TAdded Add(const TNewScore& score) override;
    std::optional<int64_t> FindByHash(const std::string& replayHash) override;
    std::optional<TScoreEntry> Get(int64_t id) override;
    std::vector<TScoreEntry> ListOfName(const std::string& name, int limit) override;
    std::vector<TScoreEntry> List(int limit, int offset) override;
    std::optional<std::vector<TScoreEntry>> ListAfter(int limit, int64_t after) override;
    std::vector<int32_t> RankedPoints() override;
    bool Hide(int64_t id) override;
    void Ban(const std::string& kind, const std::string& value) override;
    bool Banned(const std::string& kind, const std::string& value) override;
    bool Unhide(int64_t id) override;
    bool Unban(const std::string& kind, const std::string& value) override;
    std::vector<std::pair<std::string, std::string>> Bans() override;
    std::vector<int64_t> HiddenIds(int limit) override;
    int64_t Count() override;
    std::optional<std::string> Replay(int64_t id) override;
    std::optional<std::string> Picture(int64_t id) override;
    void SavePicture(int64_t id, const std::string& png) override;
    std::vector<int64_t> LevelsDue() override;
    void LevelChecked(int64_t id, std::optional<int32_t> level) override;

    // A consistent copy of the store at `path` in a new file `to` (replaced only once complete), taken
    // by SQLite's backup API while servers go on reading and writing it.
    static void Backup(const std::string& path, const std::string& to);

    // A connection with its prepared statements, kept for reuse.
    struct TConnection;

private:
    std::unique_ptr<TConnection> OpenConnection();

    std::string Path;
    TConnectionPool<TConnection> Pool;
};

}  // namespace blubbi::hiscore
