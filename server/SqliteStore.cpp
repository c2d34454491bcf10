// The SQLite store. Connections are pooled, one per concurrent caller; a write takes the
// database's write lock at once (BEGIN IMMEDIATE) so that concurrent writers queue instead of failing.
#include "server/SqliteStore.h"

#include <chrono>
#include <thread>

#include <sqlite3.h>

#include <filesystem>

namespace blubbi::hiscore {

namespace {

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS scores (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL,
  points INTEGER NOT NULL,
  level INTEGER NOT NULL,
  frames INTEGER NOT NULL,
  verified INTEGER NOT NULL,
  ranked INTEGER NOT NULL,
  note TEXT NOT NULL,
  replay_hash TEXT NOT NULL UNIQUE,
  created_at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS scores_order ON scores (ranked DESC, points DESC, id);
CREATE TABLE IF NOT EXISTS replays (score_id INTEGER PRIMARY KEY REFERENCES scores (id), bytes BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS pictures (score_id INTEGER PRIMARY KEY REFERENCES scores (id), png BLOB NOT NULL);
)";

// Entries an operator took out of the lists stay, hidden: the lists read the view of those shown.
// Bans are by name or by address.
constexpr const char* kHiding = R"(
ALTER TABLE scores ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS scores_shown ON scores (hidden, ranked DESC, points DESC, id);
CREATE VIEW IF NOT EXISTS shown AS SELECT * FROM scores WHERE hidden = 0;
CREATE TABLE IF NOT EXISTS bans (kind TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (kind, value));
)";

// The lists show each name once, by its best game (the list's order decides); the name's page shows
// the others. Made anew at each start, so a store of any version shows so.
constexpr const char* kBestOfName = R"(
CREATE INDEX IF NOT EXISTS scores_name ON scores (name, hidden, ranked DESC, points DESC, id);
DROP VIEW IF EXISTS shown;
CREATE VIEW shown AS SELECT * FROM scores s WHERE hidden = 0 AND id = (SELECT b.id FROM scores b
  WHERE b.name = s.name AND b.hidden = 0 ORDER BY b.ranked DESC, b.points DESC, b.id LIMIT 1);
)";

constexpr const char* kColumns = "id, name, points, level, frames, verified, ranked, note, created_at, data_version";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw TStoreError("SQLite: " + what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

}  // namespace

struct TSqliteStore::TConnection {
    sqlite3* Db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> Statements;
    ~TConnection() {
        for (auto& [sql, stmt] : Statements) sqlite3_finalize(stmt);
        sqlite3_close_v2(Db);
    }
};

namespace {

using TConnection = TSqliteStore::TConnection;
using TLease = TConnectionPool<TConnection>::TLease;

// One use of a statement prepared once per connection; reset for the next use when it goes out of scope.
class TStatement {
public:
    TStatement(TConnection& c, const std::string& sql) : Db(c.Db) {
        auto& stmt = c.Statements[sql];
        if (!stmt && sqlite3_prepare_v3(c.Db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                        &stmt, nullptr) != SQLITE_OK) {
            c.Statements.erase(sql);
            Fail(c.Db, "prepare");
        }
        Stmt = stmt;
    }
    ~TStatement() {
        sqlite3_reset(Stmt);
        sqlite3_clear_bindings(Stmt);
    }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Bind(int i, int64_t v) {
        Check(sqlite3_bind_int64(Stmt, i, v));
        return *this;
    }
    TStatement& Bind(int i, const std::string& v) {
        Check(sqlite3_bind_text(Stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    TStatement& BindBlob(int i, const std::string& v) {
        Check(sqlite3_bind_blob(Stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(Stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(Db, "step");
    }
    int64_t Int(int col) const { return sqlite3_column_int64(Stmt, col); }
    std::string Text(int col) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(Stmt, col));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(Stmt, col))) : std::string();
    }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) Fail(Db, "bind");
    }
    sqlite3* Db;
    sqlite3_stmt* Stmt = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, sql);
}

TScoreEntry ReadEntry(const TStatement& s) {
    TScoreEntry e;
    e.Id = s.Int(0);
    e.Name = s.Text(1);
    e.Points = static_cast<int32_t>(s.Int(2));
    e.Level = static_cast<int32_t>(s.Int(3));
    e.Frames = s.Int(4);
    e.Verified = s.Int(5) != 0;
    e.Ranked = s.Int(6) != 0;
    e.Note = s.Text(7);
    e.CreatedAt = s.Int(8);
    e.DataVersion = s.Text(9);
    return e;
}

// The bytes that `sql` selects for one entry, if it has them.
std::optional<std::string> BytesOf(TConnection& db, const char* sql, int64_t id) {
    TStatement s(db, sql);
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    return s.Text(0);
}

// The entries after a given one in the list's order. The order is not one direction on all its
// columns, so it is three index seeks: the rest of the same points, the lower points of the same
// part, the later parts.
constexpr const char* kAfterSql =
    "SELECT * FROM (SELECT {c} FROM shown WHERE ranked = ?1 AND points = ?2 AND id > ?3 ORDER BY id LIMIT ?4) same"
    " UNION ALL SELECT * FROM (SELECT {c} FROM shown WHERE ranked = ?1 AND points < ?2"
    " ORDER BY points DESC, id LIMIT ?4) lower"
    " UNION ALL SELECT * FROM (SELECT {c} FROM shown WHERE ranked < ?1 ORDER BY ranked DESC, points DESC, id LIMIT "
    "?4) later"
    " ORDER BY ranked DESC, points DESC, id LIMIT ?4";

int64_t CountAbove(TConnection& db, int32_t points) {
    TStatement s(db, "SELECT COUNT(*) FROM shown WHERE ranked = 1 AND points > ?");
    s.Bind(1, points);
    s.Step();
    return s.Int(0);
}

}  // namespace

TSqliteStore::TSqliteStore(const std::string& path)
    : Path(path),
      // A connection left inside a transaction by an error is not reused; one to a local file is
      // cheap, so every caller at once may have one.
      Pool([this] { return OpenConnection(); }, [](TConnection& c) { return sqlite3_get_autocommit(c.Db) != 0; },
           4096) {
    if (path.empty()) throw TStoreError("SQLite: no file named");
    const auto folder = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    auto c = OpenConnection();
    // Several processes may open a new file at once; the write lock orders their schema steps.
    Exec(c->Db, "BEGIN IMMEDIATE");
    Exec(c->Db, kSchema);
    // The file says how far its schema is: each step brings one of the version before up to its own.
    int version = 0;
    {
        TStatement v(*c, "PRAGMA user_version");
        if (v.Step()) version = static_cast<int>(v.Int(0));
    }
    if (version > kSchemaVersion) {
        Exec(c->Db, "ROLLBACK");
        throw TStoreError("SQLite: " + path + " was made by a newer server (schema " + std::to_string(version) + ")");
    }
    if (version < 2) Exec(c->Db, "ALTER TABLE scores ADD COLUMN data_version TEXT NOT NULL DEFAULT ''");
    if (version < 3) Exec(c->Db, kHiding);
    // Until now an entry's level was the one its game-over answer led to: each is checked once more.
    if (version < 4)
        Exec(c->Db,
             "CREATE TABLE IF NOT EXISTS level_due (score_id INTEGER PRIMARY KEY);"
             " INSERT OR IGNORE INTO level_due SELECT id FROM scores");
    Exec(c->Db, kBestOfName);
    Exec(c->Db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    Exec(c->Db, "COMMIT");
    Pool.Give(std::move(c));
}

TSqliteStore::~TSqliteStore() = default;

std::unique_ptr<TSqliteStore::TConnection> TSqliteStore::OpenConnection() {
    auto c = std::make_unique<TConnection>();
    const int rc = sqlite3_open_v2(Path.c_str(), &c->Db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        throw TStoreError("SQLite: cannot open " + Path + ": " + (c->Db ? sqlite3_errmsg(c->Db) : "out of memory"));
    sqlite3_busy_timeout(c->Db, 10000);
    // WAL with a sync at every commit: an answered score is on the disk, not only in a cache. The
    // switch to WAL takes the file for itself and SQLite does not wait for that by the busy timeout:
    // servers opening one new file together try again for as long.
    for (int tries = 0;; ++tries) {
        try {
            Exec(c->Db, "PRAGMA journal_mode = WAL");
            break;
        } catch (const TStoreError&) {
            if (tries >= 1000 || sqlite3_errcode(c->Db) != SQLITE_BUSY) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    Exec(c->Db, "PRAGMA synchronous = FULL");
    Exec(c->Db, "PRAGMA foreign_keys = ON");
    return c;
}

void TSqliteStore::Backup(const std::string& path, const std::string& to) {
    if (!std::filesystem::exists(path)) throw TStoreError("SQLite: there is no store " + path);
    TSqliteStore store(path);  // brings an older file up first, refuses a newer one
    TLease source(store.Pool);
    const std::string partial = to + ".partial";
    std::filesystem::remove(partial);
    sqlite3* copy = nullptr;
    if (sqlite3_open(partial.c_str(), &copy) != SQLITE_OK) {
        sqlite3_close(copy);
        throw TStoreError("SQLite: cannot create " + partial);
    }
    // All pages in one step, under one read transaction: the copy is the store at one moment, and
    // writers are not held up by it (write-ahead log).
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source->Db, "main");
    int rc = SQLITE_ERROR;
    if (backup) {
        for (int tries = 0; (rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED; ++tries) {
            if (tries >= 1000) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        sqlite3_backup_finish(backup);
    }
    const std::string why = sqlite3_errmsg(copy);
    // The copy goes on in the source's journal mode; a rollback journal makes it one file alone.
    if (rc == SQLITE_DONE) sqlite3_exec(copy, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_close(copy);
    if (rc != SQLITE_DONE) {
        std::filesystem::remove(partial);
        throw TStoreError("SQLite: backup of " + path + " failed: " + why);
    }
    std::filesystem::rename(partial, to);
}

TAdded TSqliteStore::Add(const TNewScore& score) {
    TLease db(Pool);
    Exec(db->Db, "BEGIN IMMEDIATE");
    TAdded added;
    {
        TStatement ins(
            *db,
            "INSERT INTO scores (name, points, level, frames, verified, ranked, note, replay_hash, created_at,"
            " data_version) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (replay_hash) DO NOTHING RETURNING id");
        ins.Bind(1, score.Name).Bind(2, score.Points).Bind(3, score.Level).Bind(4, score.Frames);
        ins.Bind(5, score.Verified ? 1 : 0).Bind(6, score.Ranked ? 1 : 0).Bind(7, score.Note);
        ins.Bind(8, score.ReplayHash).Bind(9, score.CreatedAt).Bind(10, score.DataVersion);
        if (ins.Step()) {
            added.Id = ins.Int(0);
            added.Created = true;
            while (ins.Step()) {}
        }
    }
    if (added.Created) {
        TStatement rep(*db, "INSERT INTO replays (score_id, bytes) VALUES (?, ?)");
        rep.Bind(1, added.Id).BindBlob(2, score.Replay);
        rep.Step();
    } else {
        TStatement old(*db, "SELECT id FROM scores WHERE replay_hash = ?");
        old.Bind(1, score.ReplayHash);
        if (!old.Step()) Fail(db->Db, "entry of a known replay vanished");
        added.Id = old.Int(0);
    }
    Exec(db->Db, "COMMIT");
    return added;
}

std::optional<int64_t> TSqliteStore::FindByHash(const std::string& replayHash) {
    TLease db(Pool);
    TStatement s(*db, "SELECT id FROM scores WHERE replay_hash = ?");
    s.Bind(1, replayHash);
    if (!s.Step()) return std::nullopt;
    return s.Int(0);
}

std::optional<TScoreEntry> TSqliteStore::Get(int64_t id) {
    TLease db(Pool);
    // Any entry not taken out; a place only for the one its name is listed by.
    TStatement s(*db, std::string("SELECT ") + kColumns +
                          ", EXISTS (SELECT 1 FROM shown WHERE shown.id = scores.id) FROM scores WHERE id = ? AND "
                          "hidden = 0");
    s.Bind(1, id);
    if (!s.Step()) return std::nullopt;
    auto e = ReadEntry(s);
    if (e.Ranked && s.Int(10)) e.Rank = CountAbove(*db, e.Points) + 1;
    return e;
}

std::vector<TScoreEntry> TSqliteStore::ListOfName(const std::string& name, int limit) {
    TLease db(Pool);
    TStatement s(*db, std::string("SELECT ") + kColumns +
                          " FROM scores WHERE name = ? AND hidden = 0 ORDER BY ranked DESC, points DESC, id LIMIT ?");
    s.Bind(1, name).Bind(2, limit);
    std::vector<TScoreEntry> games;
    while (s.Step()) games.push_back(ReadEntry(s));
    return games;
}

std::vector<TScoreEntry> TSqliteStore::List(int limit, int offset) {
    TLease db(Pool);
    // One read transaction: the page and its first rank come from the same state.
    Exec(db->Db, "BEGIN");
    std::vector<TScoreEntry> page;
    {
        TStatement s(*db, std::string("SELECT ") + kColumns +
                              " FROM shown ORDER BY ranked DESC, points DESC, id LIMIT ? OFFSET ?");
        s.Bind(1, limit).Bind(2, offset);
        while (s.Step()) page.push_back(ReadEntry(s));
    }
    const int64_t above = !page.empty() && page.front().Ranked ? CountAbove(*db, page.front().Points) : 0;
    Exec(db->Db, "COMMIT");
    AssignRanks(page, offset, above);
    return page;
}

std::optional<std::vector<TScoreEntry>> TSqliteStore::ListAfter(int limit, int64_t after) {
    TLease db(Pool);
    Exec(db->Db, "BEGIN");
    std::optional<std::vector<TScoreEntry>> page;
    {
        TStatement cursor(*db, "SELECT ranked, points FROM scores WHERE id = ?");
        cursor.Bind(1, after);
        if (cursor.Step()) {
            std::string sql = kAfterSql;
            for (size_t at; (at = sql.find("{c}")) != std::string::npos;) sql.replace(at, 3, kColumns);
            TStatement s(*db, sql);
            s.Bind(1, cursor.Int(0)).Bind(2, cursor.Int(1)).Bind(3, after).Bind(4, limit);
            page.emplace();
            while (s.Step()) page->push_back(ReadEntry(s));
        }
    }
    Exec(db->Db, "COMMIT");
    return page;
}

std::vector<int32_t> TSqliteStore::RankedPoints() {
    TLease db(Pool);
    TStatement s(*db, "SELECT points FROM shown WHERE ranked = 1 ORDER BY points DESC");
    std::vector<int32_t> points;
    while (s.Step()) points.push_back(static_cast<int32_t>(s.Int(0)));
    return points;
}

int64_t TSqliteStore::Count() {
    TLease db(Pool);
    TStatement s(*db, "SELECT COUNT(*) FROM shown");
    s.Step();
    return s.Int(0);
}

std::vector<int64_t> TSqliteStore::LevelsDue() {
    TLease db(Pool);
    TStatement s(*db, "SELECT score_id FROM level_due ORDER BY score_id");
    std::vector<int64_t> due;
    while (s.Step()) due.push_back(s.Int(0));
    return due;
}

void TSqliteStore::LevelChecked(int64_t id, std::optional<int32_t> level) {
    TLease db(Pool);
    Exec(db->Db, "BEGIN IMMEDIATE");
    try {
        if (level) {
            TStatement s(*db, "UPDATE scores SET level = ? WHERE id = ?");
            s.Bind(1, *level).Bind(2, id);
            s.Step();
        }
        TStatement d(*db, "DELETE FROM level_due WHERE score_id = ?");
        d.Bind(1, id);
        d.Step();
        Exec(db->Db, "COMMIT");
    } catch (...) {
        sqlite3_exec(db->Db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool TSqliteStore::Hide(int64_t id) {
    TLease db(Pool);
    TStatement s(*db, "UPDATE scores SET hidden = 1 WHERE id = ? AND hidden = 0");
    s.Bind(1, id);
    s.Step();
    return sqlite3_changes(db->Db) > 0;
}

void TSqliteStore::Ban(const std::string& kind, const std::string& value) {
    TLease db(Pool);
    Exec(db->Db, "BEGIN IMMEDIATE");
    {
        TStatement ban(*db, "INSERT INTO bans (kind, value) VALUES (?, ?) ON CONFLICT DO NOTHING");
        ban.Bind(1, kind).Bind(2, value);
        ban.Step();
    }
    if (kind == "name") {
        TStatement hide(*db, "UPDATE scores SET hidden = 1 WHERE name = ?");
        hide.Bind(1, value);
        hide.Step();
    }
    Exec(db->Db, "COMMIT");
}

bool TSqliteStore::Banned(const std::string& kind, const std::string& value) {
    TLease db(Pool);
    TStatement s(*db, "SELECT 1 FROM bans WHERE kind = ? AND value = ?");
    s.Bind(1, kind).Bind(2, value);
    return s.Step();
}

bool TSqliteStore::Unhide(int64_t id) {
    TLease db(Pool);
    TStatement s(*db, "UPDATE scores SET hidden = 0 WHERE id = ? AND hidden <> 0");
    s.Bind(1, id);
    s.Step();
    return sqlite3_changes(db->Db) > 0;
}

bool TSqliteStore::Unban(const std::string& kind, const std::string& value) {
    TLease db(Pool);
    TStatement s(*db, "DELETE FROM bans WHERE kind = ? AND value = ?");
    s.Bind(1, kind).Bind(2, value);
    s.Step();
    return sqlite3_changes(db->Db) > 0;
}

std::vector<std::pair<std::string, std::string>> TSqliteStore::Bans() {
    TLease db(Pool);
    TStatement s(*db, "SELECT kind, value FROM bans ORDER BY kind, value");
    std::vector<std::pair<std::string, std::string>> bans;
    while (s.Step()) bans.emplace_back(s.Text(0), s.Text(1));
    return bans;
}

std::vector<int64_t> TSqliteStore::HiddenIds(int limit) {
    TLease db(Pool);
    TStatement s(*db, "SELECT id FROM scores WHERE hidden <> 0 ORDER BY id DESC LIMIT ?");
    s.Bind(1, limit);
    std::vector<int64_t> ids;
    while (s.Step()) ids.push_back(s.Int(0));
    return ids;
}

std::optional<std::string> TSqliteStore::Replay(int64_t id) {
    TLease db(Pool);
    return BytesOf(
        *db, "SELECT bytes FROM replays JOIN scores ON scores.id = replays.score_id WHERE score_id = ? AND hidden = 0",
        id);
}

std::optional<std::string> TSqliteStore::Picture(int64_t id) {
    TLease db(Pool);
    return BytesOf(
        *db, "SELECT png FROM pictures JOIN scores ON scores.id = pictures.score_id WHERE score_id = ? AND hidden = 0",
        id);
}

void TSqliteStore::SavePicture(int64_t id, const std::string& png) {
    TLease db(Pool);
    TStatement s(*db, "INSERT INTO pictures (score_id, png) VALUES (?, ?) ON CONFLICT (score_id) DO NOTHING");
    s.Bind(1, id).BindBlob(2, png);
    s.Step();
}

}  // namespace blubbi::hiscore
