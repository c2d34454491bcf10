// The shared store: a PostgreSQL database that several server processes may use at once.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "server/ConnectionPool.h"
#include "server/ScoreStore.h"

namespace blubbi::hiscore {

class TPostgresStore : public TScoreStore {
public:
    // Connects to the URL (postgresql://user@host:port/db?host=/socket/dir ...) and creates the
    // tables when missing; throws TStoreError when the server cannot be reached.
    TPostgresStore(const std::string& url, int connections);
    ~TPostgresStore() override;

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

    struct TConnection;  // one connection to the server, kept for reuse

private:
    std::unique_ptr<TConnection> Connect();
    // The bytes that `sql` selects for one entry, if it has them.
    std::optional<std::string> BytesOf(const char* sql, int64_t id);

    std::string Url;
    TConnectionPool<TConnection> Pool;
};

}  // namespace blubbi::hiscore
