// Where the hiscore server keeps its scores: one small interface, backed by SQLite or PostgreSQL.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace blubbi::hiscore {

// A score as it is entered: everything the list shows plus the replay it was checked with.
struct TNewScore {
    std::string Name;  // UTF-8, already trimmed and checked
    int32_t Points = 0;
    int32_t Level = 0;        // the level the game ended in
    int64_t Frames = 0;       // length of the replay in frames
    bool Verified = false;    // the replay was re-played and agrees with the claimed points
    bool Ranked = false;      // counts for the list's places
    std::string Note;         // why an entry has no place, shown on the page
    std::string ReplayHash;   // SHA-256 of the replay bytes, hex; one entry per replay
    std::string Replay;       // the replay file's bytes
    int64_t CreatedAt = 0;    // seconds since 1970, UTC
    std::string DataVersion;  // the hash of the game data the game was played with
};

struct TScoreEntry {
    int64_t Id = 0;
    std::string Name;
    int32_t Points = 0;
    int32_t Level = 0;
    int64_t Frames = 0;
    bool Verified = false;
    bool Ranked = false;
    std::string Note;
    int64_t CreatedAt = 0;
    std::string DataVersion;
    std::optional<int64_t> Rank;  // ranked entries only; equal points share a place
};

struct TAdded {
    int64_t Id = 0;
    bool Created = false;  // false: this replay was entered before, Id is that entry
};

// Any failure of the database itself (unreachable, disk full, broken file).
class TStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every method may be called from many threads at once; each write is durable when it returns.
class TScoreStore {
public:
    virtual ~TScoreStore() = default;

    // Enters the score unless an entry with the same replay hash exists (shown or hidden).
    virtual TAdded Add(const TNewScore& score) = 0;
    virtual std::optional<int64_t> FindByHash(const std::string& replayHash) = 0;
    // Any entry not taken out of the lists, whether its name is listed by it or by a better game; a
    // place only for the one listed.
    virtual std::optional<TScoreEntry> Get(int64_t id) = 0;
    // The lists show each name once, by its best game: all games of one name, best first.
    virtual std::vector<TScoreEntry> ListOfName(const std::string& name, int limit) = 0;
    // Ranked entries first, each part by points and then by age; ranks filled in.
    virtual std::vector<TScoreEntry> List(int limit, int offset) = 0;
    // The entries that follow the one with id `after` in the list's order, without ranks (a page
    // by its last entry: an index seek, however deep); nullopt when there is no such entry.
    virtual std::optional<std::vector<TScoreEntry>> ListAfter(int limit, int64_t after) = 0;
    // The points of every ranked entry, best first: the places of any page come from them.
    virtual std::vector<int32_t> RankedPoints() = 0;
    // An operator's: takes an entry out of every list, its replay and picture too (it stays stored,
    // and its game stays known); false when there is no such entry shown.
    virtual bool Hide(int64_t id) = 0;
    // Refuses submissions by a name ("name", whose entries are hidden too) or from an address
    // ("address", an IPv6 one by its /64 as the rate limit counts it) from now on.
    virtual void Ban(const std::string& kind, const std::string& value) = 0;
    virtual bool Banned(const std::string& kind, const std::string& value) = 0;
    // The operator's undoing: an entry shown again, a ban lifted (the entries a name's ban hid stay
    // hidden until shown again each); false when there was none such.
    virtual bool Unhide(int64_t id) = 0;
    virtual bool Unban(const std::string& kind, const std::string& value) = 0;
    // What the operator has done: the bans as (kind, value), the hidden entries' ids, newest first.
    virtual std::vector<std::pair<std::string, std::string>> Bans() = 0;
    virtual std::vector<int64_t> HiddenIds(int limit) = 0;
    virtual int64_t Count() = 0;
    virtual std::optional<std::string> Replay(int64_t id) = 0;
    // The drawn last frame of an entry's game, kept once it has been made.
    virtual std::optional<std::string> Picture(int64_t id) = 0;
    virtual void SavePicture(int64_t id, const std::string& png) = 0;
    // Entries stored before the level reached was known (their level is where the game-over answer
    // led), oldest first; each is checked once, taking the level its replay reached (none: kept).
    virtual std::vector<int64_t> LevelsDue() = 0;
    virtual void LevelChecked(int64_t id, std::optional<int32_t> level) = 0;
};

// Fills in the ranks of one page of List(): ranked entries come first, so an entry's place is its
// position unless it has as many points as the one before it. aboveFirst counts the ranked entries
// with more points than the page's first ranked entry.
void AssignRanks(std::vector<TScoreEntry>& page, int offset, int64_t aboveFirst);

// The stores' schema: what a store of an older version is brought up to when opened (entries keep
// everything they had). A store of a newer version is not opened.
constexpr int kSchemaVersion = 4;

// "sqlite:PATH" or "postgresql://..." (also "postgres://..."); throws TStoreError when the
// database cannot be opened or reached, std::invalid_argument for an unknown kind. A PostgreSQL
// store keeps at most `connections` open; callers beyond them wait for one.
constexpr int kDefaultDbConnections = 16;
std::unique_ptr<TScoreStore> OpenStore(const std::string& url, int connections = kDefaultDbConnections);

// The SQLite file in the user's data folder: $XDG_DATA_HOME/blubbi-blubbo/hiscore.sqlite,
// else ~/.local/share/blubbi-blubbo/hiscore.sqlite.
std::string DefaultSqlitePath();

}  // namespace blubbi::hiscore
