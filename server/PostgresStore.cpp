// The PostgreSQL store through libpqxx. Every write is one transaction committed with the
// server's default synchronous commit, so an answered score is on the database's disk.
#include "server/PostgresStore.h"

#include <pqxx/pqxx>

namespace blubbi::hiscore {

namespace {

// Creating tables "if not exists" races between processes starting together; a transaction-wide
// advisory lock (any fixed number of ours) lets one create and the others find the tables made.
constexpr const char* kSchema = R"(
SELECT pg_advisory_xact_lock(2317712031);
CREATE TABLE IF NOT EXISTS scores (
  id BIGSERIAL PRIMARY KEY,
  name TEXT NOT NULL,
  points INTEGER NOT NULL,
  level INTEGER NOT NULL,
  frames BIGINT NOT NULL,
  verified BOOLEAN NOT NULL,
  ranked BOOLEAN NOT NULL,
  note TEXT NOT NULL,
  replay_hash TEXT NOT NULL UNIQUE,
  created_at BIGINT NOT NULL);
CREATE INDEX IF NOT EXISTS scores_order ON scores (ranked DESC, points DESC, id);
CREATE TABLE IF NOT EXISTS replays (score_id BIGINT PRIMARY KEY REFERENCES scores (id), bytes BYTEA NOT NULL);
CREATE TABLE IF NOT EXISTS pictures (score_id BIGINT PRIMARY KEY REFERENCES scores (id), png BYTEA NOT NULL);
CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM schema_version);
)";

// Each step brings a database of the version before up to its own.
constexpr const char* kMigrations[] = {
    "",  // 1: the tables above
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS data_version TEXT NOT NULL DEFAULT ''",
    // Entries an operator took out of the lists stay, hidden: the lists read the view of those shown.
    "ALTER TABLE scores ADD COLUMN IF NOT EXISTS hidden BOOLEAN NOT NULL DEFAULT FALSE;"
    " CREATE INDEX IF NOT EXISTS scores_shown ON scores (hidden, ranked DESC, points DESC, id);"
    " CREATE OR REPLACE VIEW shown AS SELECT * FROM scores WHERE NOT hidden;"
    " CREATE TABLE IF NOT EXISTS bans (kind TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (kind, value))",
    // Until now an entry's level was the one its game-over answer led to: each is checked once more.
    ("CREATE TABLE IF NOT EXISTS level_due (score_id BIGINT PRIMARY KEY);"
     " INSERT INTO level_due SELECT id FROM scores ON CONFLICT DO NOTHING"),
};
static_assert(std::size(kMigrations) == kSchemaVersion);

constexpr const char* kColumns = "id, name, points, level, frames, verified, ranked, note, created_at, data_version";

TScoreEntry ReadEntry(const pqxx::row& r) {
    TScoreEntry e;
    e.Id = r[0].as<int64_t>();
    e.Name = r[1].as<std::string>();
    e.Points = r[2].as<int32_t>();
    e.Level = r[3].as<int32_t>();
    e.Frames = r[4].as<int64_t>();
    e.Verified = r[5].as<bool>();
    e.Ranked = r[6].as<bool>();
    e.Note = r[7].as<std::string>();
    e.CreatedAt = r[8].as<int64_t>();
    e.DataVersion = r[9].as<std::string>();
    return e;
}

// The entries after a given one in the list's order. The order is not one direction on all its
// columns, so it is three index seeks: the rest of the same points, the lower points of the same
// part, the later parts.
constexpr const char* kAfterSql =
    "SELECT * FROM (SELECT {c} FROM shown WHERE ranked = $1 AND points = $2 AND id > $3 ORDER BY id LIMIT $4) same"
    " UNION ALL SELECT * FROM (SELECT {c} FROM shown WHERE ranked = $1 AND points < $2"
    " ORDER BY points DESC, id LIMIT $4) lower"
    " UNION ALL SELECT * FROM (SELECT {c} FROM shown WHERE ranked < $1 ORDER BY ranked DESC, points DESC, id LIMIT "
    "$4) later"
    " ORDER BY ranked DESC, points DESC, id LIMIT $4";

std::string Bytes(const pqxx::field& f) {
    const pqxx::binarystring b(f);
    return b.str();
}

}  // namespace

struct TPostgresStore::TConnection {
    explicit TConnection(const std::string& url) : Conn(url) {}
    pqxx::connection Conn;
};

namespace {
using TLease = TConnectionPool<TPostgresStore::TConnection>::TLease;
}  // namespace

// Runs fn in a transaction; database failures leave as TStoreError.
template <class F>
auto InTransaction(pqxx::connection_base& c, F&& fn) {
    try {
        pqxx::work w(c);
        auto result = fn(w);
        w.commit();
        return result;
    } catch (const pqxx::failure& e) {
        throw TStoreError(std::string("PostgreSQL: ") + e.what());
    }
}

TPostgresStore::TPostgresStore(const std::string& url, int connections)
    : Url(url),
      // A lost connection is not reused.
      Pool([this] { return Connect(); }, [](TConnection& c) { return c.Conn.is_open(); }, connections) {
    auto c = Connect();
    InTransaction(c->Conn, [](pqxx::work& w) {
        w.exec(kSchema);
        const int version = w.exec1("SELECT version FROM schema_version")[0].as<int>();
        if (version > kSchemaVersion)
            throw TStoreError("PostgreSQL: the database was made by a newer server (schema " + std::to_string(version) +
                              ")");
        for (int step = std::max(version, 1); step < kSchemaVersion; ++step) w.exec(kMigrations[step]);
        // The lists show each name once, by its best game; the name's page shows the others.
        w.exec(
            "CREATE INDEX IF NOT EXISTS scores_name ON scores (name, hidden, ranked DESC, points DESC, id);"
            " CREATE OR REPLACE VIEW shown AS SELECT * FROM scores s WHERE NOT hidden AND id = (SELECT b.id FROM"
            " scores b WHERE b.name = s.name AND NOT b.hidden ORDER BY b.ranked DESC, b.points DESC, b.id LIMIT 1)");
        w.exec("UPDATE schema_version SET version = " + std::to_string(kSchemaVersion));
        return 0;
    });
    Pool.Give(std::move(c));
}

TPostgresStore::~TPostgresStore() = default;

std::unique_ptr<TPostgresStore::TConnection> TPostgresStore::Connect() {
    try {
        return std::make_unique<TConnection>(Url);
    } catch (const std::exception& e) {
        throw TStoreError(std::string("PostgreSQL: cannot connect: ") + e.what());
    }
}

TAdded TPostgresStore::Add(const TNewScore& score) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        const auto r = w.exec_params(
            "INSERT INTO scores (name, points, level, frames, verified, ranked, note, replay_hash, created_at,"
            " data_version) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) ON CONFLICT (replay_hash) DO NOTHING"
            " RETURNING id",
            score.Name, score.Points, score.Level, score.Frames, score.Verified, score.Ranked, score.Note,
            score.ReplayHash, score.CreatedAt, score.DataVersion);
        TAdded added;
        if (!r.empty()) {
            added.Id = r[0][0].as<int64_t>();
            added.Created = true;
            const pqxx::binarystring bytes(score.Replay);
            w.exec_params("INSERT INTO replays (score_id, bytes) VALUES ($1, $2)", added.Id, bytes);
        } else {
            // The conflicting insert has committed (ON CONFLICT waited for it), so a new statement sees it.
            added.Id =
                w.exec_params1("SELECT id FROM scores WHERE replay_hash = $1", score.ReplayHash)[0].as<int64_t>();
        }
        return added;
    });
}

std::optional<int64_t> TPostgresStore::FindByHash(const std::string& replayHash) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) -> std::optional<int64_t> {
        const auto r = w.exec_params("SELECT id FROM scores WHERE replay_hash = $1", replayHash);
        if (r.empty()) return std::nullopt;
        return r[0][0].as<int64_t>();
    });
}

std::optional<TScoreEntry> TPostgresStore::Get(int64_t id) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) -> std::optional<TScoreEntry> {
        // Any entry not taken out; a place only for the one its name is listed by.
        const auto r = w.exec_params(std::string("SELECT ") + kColumns +
                                         ", EXISTS (SELECT 1 FROM shown WHERE shown.id = scores.id) FROM scores"
                                         " WHERE id = $1 AND NOT hidden",
                                     id);
        if (r.empty()) return std::nullopt;
        auto e = ReadEntry(r[0]);
        if (e.Ranked && r[0][10].as<bool>())
            e.Rank =
                w.exec_params1("SELECT COUNT(*) FROM shown WHERE ranked AND points > $1", e.Points)[0].as<int64_t>() +
                1;
        return e;
    });
}

std::vector<TScoreEntry> TPostgresStore::ListOfName(const std::string& name, int limit) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        std::vector<TScoreEntry> games;
        for (const auto& row : w.exec_params(std::string("SELECT ") + kColumns +
                                                 " FROM scores WHERE name = $1 AND NOT hidden"
                                                 " ORDER BY ranked DESC, points DESC, id LIMIT $2",
                                             name, limit))
            games.push_back(ReadEntry(row));
        return games;
    });
}

std::vector<TScoreEntry> TPostgresStore::List(int limit, int offset) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        // The page and the count above its first entry in one statement: one snapshot, one round trip.
        const auto r =
            w.exec_params(std::string("WITH page AS (SELECT ") + kColumns +
                              " FROM shown ORDER BY ranked DESC, points DESC, id LIMIT $1 OFFSET $2)"
                              " SELECT page.*, (SELECT COUNT(*) FROM shown s WHERE s.ranked AND s.points >"
                              " (SELECT points FROM page WHERE ranked ORDER BY points DESC LIMIT 1)) FROM page"
                              " ORDER BY ranked DESC, points DESC, id",
                          limit, offset);
        std::vector<TScoreEntry> page;
        page.reserve(r.size());
        for (const auto& row : r) page.push_back(ReadEntry(row));
        const int64_t above = r.empty() || r[0][10].is_null() ? 0 : r[0][10].as<int64_t>();
        AssignRanks(page, offset, above);
        return page;
    });
}

std::optional<std::vector<TScoreEntry>> TPostgresStore::ListAfter(int limit, int64_t after) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) -> std::optional<std::vector<TScoreEntry>> {
        const auto cursor = w.exec_params("SELECT ranked, points FROM scores WHERE id = $1", after);
        if (cursor.empty()) return std::nullopt;
        std::string sql = kAfterSql;
        for (size_t at; (at = sql.find("{c}")) != std::string::npos;) sql.replace(at, 3, kColumns);
        const auto r = w.exec_params(sql, cursor[0][0].as<bool>(), cursor[0][1].as<int32_t>(), after, limit);
        std::vector<TScoreEntry> page;
        for (const auto& row : r) page.push_back(ReadEntry(row));
        return page;
    });
}

std::vector<int32_t> TPostgresStore::RankedPoints() {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        std::vector<int32_t> points;
        for (const auto& row : w.exec("SELECT points FROM shown WHERE ranked ORDER BY points DESC"))
            points.push_back(row[0].as<int32_t>());
        return points;
    });
}

int64_t TPostgresStore::Count() {
    TLease c(Pool);
    return InTransaction(c->Conn,
                         [&](pqxx::work& w) { return w.exec1("SELECT COUNT(*) FROM shown")[0].as<int64_t>(); });
}

std::vector<int64_t> TPostgresStore::LevelsDue() {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        std::vector<int64_t> due;
        for (const auto& row : w.exec("SELECT score_id FROM level_due ORDER BY score_id"))
            due.push_back(row[0].as<int64_t>());
        return due;
    });
}

void TPostgresStore::LevelChecked(int64_t id, std::optional<int32_t> level) {
    TLease c(Pool);
    InTransaction(c->Conn, [&](pqxx::work& w) {
        if (level) w.exec_params("UPDATE scores SET level = $1 WHERE id = $2", *level, id);
        w.exec_params("DELETE FROM level_due WHERE score_id = $1", id);
        return 0;
    });
}

bool TPostgresStore::Hide(int64_t id) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        return w.exec_params("UPDATE scores SET hidden = TRUE WHERE id = $1 AND NOT hidden", id).affected_rows() > 0;
    });
}

void TPostgresStore::Ban(const std::string& kind, const std::string& value) {
    TLease c(Pool);
    InTransaction(c->Conn, [&](pqxx::work& w) {
        w.exec_params("INSERT INTO bans (kind, value) VALUES ($1, $2) ON CONFLICT DO NOTHING", kind, value);
        if (kind == "name") w.exec_params("UPDATE scores SET hidden = TRUE WHERE name = $1", value);
        return 0;
    });
}

bool TPostgresStore::Banned(const std::string& kind, const std::string& value) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        return !w.exec_params("SELECT 1 FROM bans WHERE kind = $1 AND value = $2", kind, value).empty();
    });
}

bool TPostgresStore::Unhide(int64_t id) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        return w.exec_params("UPDATE scores SET hidden = FALSE WHERE id = $1 AND hidden", id).affected_rows() > 0;
    });
}

bool TPostgresStore::Unban(const std::string& kind, const std::string& value) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        return w.exec_params("DELETE FROM bans WHERE kind = $1 AND value = $2", kind, value).affected_rows() > 0;
    });
}

std::vector<std::pair<std::string, std::string>> TPostgresStore::Bans() {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        std::vector<std::pair<std::string, std::string>> bans;
        for (const auto& row : w.exec("SELECT kind, value FROM bans ORDER BY kind, value"))
            bans.emplace_back(row[0].as<std::string>(), row[1].as<std::string>());
        return bans;
    });
}

std::vector<int64_t> TPostgresStore::HiddenIds(int limit) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) {
        std::vector<int64_t> ids;
        for (const auto& row : w.exec_params("SELECT id FROM scores WHERE hidden ORDER BY id DESC LIMIT $1", limit))
            ids.push_back(row[0].as<int64_t>());
        return ids;
    });
}

std::optional<std::string> TPostgresStore::Replay(int64_t id) {
    return BytesOf(
        "SELECT bytes FROM replays JOIN scores ON scores.id = replays.score_id WHERE score_id = $1 AND NOT hidden", id);
}

std::optional<std::string> TPostgresStore::Picture(int64_t id) {
    return BytesOf(
        "SELECT png FROM pictures JOIN scores ON scores.id = pictures.score_id WHERE score_id = $1 AND NOT hidden", id);
}

std::optional<std::string> TPostgresStore::BytesOf(const char* sql, int64_t id) {
    TLease c(Pool);
    return InTransaction(c->Conn, [&](pqxx::work& w) -> std::optional<std::string> {
        const auto r = w.exec_params(sql, id);
        if (r.empty()) return std::nullopt;
        return Bytes(r[0][0]);
    });
}

void TPostgresStore::SavePicture(int64_t id, const std::string& png) {
    TLease c(Pool);
    InTransaction(c->Conn, [&](pqxx::work& w) {
        const pqxx::binarystring bytes(png);
        w.exec_params("INSERT INTO pictures (score_id, png) VALUES ($1, $2) ON CONFLICT (score_id) DO NOTHING", id,
                      bytes);
        return 0;
    });
}

}  // namespace blubbi::hiscore
