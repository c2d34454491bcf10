// The score stores: the same rules for SQLite and PostgreSQL.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <thread>

#include "server/ConnectionPool.h"
#include "server/ScoreStore.h"
#include "server/SqliteStore.h"
#include "tests/server/Backends.h"

using namespace blubbi::hiscore;
using blubbi::hiscore::testing::TScratchDatabase;

namespace {

TNewScore Score(const std::string& name, int32_t points, bool ranked = true, const std::string& hash = "") {
    TNewScore s;
    s.Name = name;
    s.Points = points;
    s.Level = points % 7 + 1;
    s.Frames = 1000 + points;
    s.Verified = true;
    s.Ranked = ranked;
    s.Note = ranked ? "" : "Level-Editor benutzt";
    s.ReplayHash = hash.empty() ? name + "-" + std::to_string(points) : hash;
    s.Replay = std::string("R\0\xff", 3) + s.ReplayHash;
    s.CreatedAt = 1700000000 + points;
    s.DataVersion = std::string(64, 'a' + static_cast<char>(points % 6));
    return s;
}

class StoreTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_DATABASE(Db);
        Store = OpenStore(Db.Url());
    }
    TScratchDatabase Db{GetParam()};
    std::unique_ptr<TScoreStore> Store;
};

TEST_P(StoreTest, KeepsEveryFieldTheReplayAndOnePicture) {
    auto s = Score("Jörg <b>", 1234, false);
    const auto added = Store->Add(s);
    ASSERT_TRUE(added.Created);
    const auto e = Store->Get(added.Id);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Name, s.Name);
    EXPECT_EQ(e->Points, 1234);
    EXPECT_EQ(e->Level, s.Level);
    EXPECT_EQ(e->Frames, s.Frames);
    EXPECT_TRUE(e->Verified);
    EXPECT_FALSE(e->Ranked);
    EXPECT_FALSE(e->Rank);
    EXPECT_EQ(e->Note, "Level-Editor benutzt");
    EXPECT_EQ(e->CreatedAt, s.CreatedAt);
    EXPECT_EQ(e->DataVersion, s.DataVersion);
    EXPECT_EQ(Store->Replay(added.Id), s.Replay);  // bytes with a zero inside come back whole
    EXPECT_FALSE(Store->Get(added.Id + 1));
    EXPECT_FALSE(Store->Replay(added.Id + 1));

    EXPECT_FALSE(Store->Picture(added.Id));
    Store->SavePicture(added.Id, std::string("\x89PNG\0a", 6));
    Store->SavePicture(added.Id, "later");  // the first picture stays
    EXPECT_EQ(Store->Picture(added.Id), std::string("\x89PNG\0a", 6));
}

TEST_P(StoreTest, OneReplayIsOneEntry) {
    const auto first = Store->Add(Score("Anna", 50, true, "same"));
    const auto again = Store->Add(Score("Berta", 70, true, "same"));
    EXPECT_TRUE(first.Created);
    EXPECT_FALSE(again.Created);
    EXPECT_EQ(again.Id, first.Id);
    EXPECT_EQ(Store->Count(), 1);
    EXPECT_EQ(Store->FindByHash("same"), first.Id);
    EXPECT_FALSE(Store->FindByHash("other"));
    EXPECT_EQ(Store->Get(first.Id)->Name, "Anna");
}

TEST_P(StoreTest, ListRanksByPointsEqualPointsSharePlacesUnrankedLast) {
    // Points 90, 80, 80, 80, 50 ranked; 999 unranked.
    const auto a = Store->Add(Score("a", 80)).Id;
    const auto b = Store->Add(Score("b", 90)).Id;
    const auto u = Store->Add(Score("u", 999, false)).Id;
    const auto c = Store->Add(Score("c", 80, true, "c2")).Id;
    const auto d = Store->Add(Score("d", 50)).Id;
    const auto e = Store->Add(Score("e", 80, true, "e2")).Id;

    const auto all = Store->List(10, 0);
    ASSERT_EQ(all.size(), 6u);
    const std::vector<int64_t> ids{b, a, c, e, d, u};
    const std::vector<std::optional<int64_t>> ranks{1, 2, 2, 2, 5, std::nullopt};
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].Id, ids[i]) << i;
        EXPECT_EQ(all[i].Rank, ranks[i]) << i;
    }
    EXPECT_EQ(Store->Get(e)->Rank, 2);
    EXPECT_EQ(Store->Get(d)->Rank, 5);
    EXPECT_FALSE(Store->Get(u)->Rank);

    // A page that starts inside a run of equal points keeps the run's place.
    for (int offset = 0; offset < 6; ++offset) {
        const auto page = Store->List(2, offset);
        for (size_t i = 0; i < page.size(); ++i) {
            EXPECT_EQ(page[i].Id, ids[offset + i]) << offset;
            EXPECT_EQ(page[i].Rank, ranks[offset + i]) << offset;
        }
    }
    EXPECT_TRUE(Store->List(5, 6).empty());
    EXPECT_EQ(Store->Count(), 6);

    // After any entry the list goes on as the pages by count do, across equal points and parts; the
    // ranked points, best first, give the places.
    for (size_t at = 0; at < ids.size(); ++at) {
        const auto after = Store->ListAfter(2, ids[at]);
        ASSERT_TRUE(after) << at;
        const auto byCount = Store->List(2, static_cast<int>(at) + 1);
        ASSERT_EQ(after->size(), byCount.size()) << at;
        for (size_t i = 0; i < after->size(); ++i) EXPECT_EQ((*after)[i].Id, byCount[i].Id) << at;
    }
    EXPECT_FALSE(Store->ListAfter(2, 12345));
    EXPECT_EQ(Store->RankedPoints(), (std::vector<int32_t>{90, 80, 80, 80, 50}));
}

TEST_P(StoreTest, ConcurrentSubmissionsOfOneReplayMakeOneEntry) {
    std::vector<std::thread> threads;
    std::vector<TAdded> results(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            results[t] = Store->Add(Score("same", 10, true, "shared"));
            Store->Add(Score("own" + std::to_string(t), t));
        });
    for (auto& t : threads) t.join();
    int created = 0;
    for (const auto& r : results) {
        created += r.Created;
        EXPECT_EQ(r.Id, results[0].Id);
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(Store->Count(), 9);
}

TEST_P(StoreTest, ServersStartingTogetherOnANewDatabaseAllOpenIt) {
    // Each process brings its own store; the tables are made once without a failure.
    Store.reset();
    TScratchDatabase fresh(GetParam());
    std::vector<std::thread> threads;
    std::atomic<int> opened{0};
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&] {
            auto s = OpenStore(fresh.Url());
            s->Add(Score("p" + std::to_string(opened++), 1));
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(OpenStore(fresh.Url())->Count(), 6);
}

TEST_P(StoreTest, EntriesOutliveTheStore) {
    const auto id = Store->Add(Score("Bleibt", 77)).Id;
    Store.reset();
    const auto again = OpenStore(Db.Url());
    EXPECT_EQ(again->Get(id)->Name, "Bleibt");
    EXPECT_EQ(again->Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, ::testing::Values("sqlite", "postgresql"),
                         blubbi::hiscore::testing::BackendName);

TEST(OpenStore, UnreachableDatabasesAndUnknownKindsFailClearly) {
    TScratchDatabase scratch("sqlite");
    const auto file = scratch.Dir() / "a-file";
    std::ofstream(file) << "x";
    EXPECT_THROW(OpenStore("sqlite:" + (file / "inside.sqlite").string()), TStoreError);
    EXPECT_THROW(OpenStore("postgresql://nobody@127.0.0.1:1/none?connect_timeout=2"), TStoreError);
    EXPECT_THROW(OpenStore("mysql://127.0.0.1/x"), std::invalid_argument);
}

TEST(OpenStore, DefaultFileIsInTheUsersDataFolder) {
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DefaultSqlitePath(), "/srv/data/blubbi-blubbo/hiscore.sqlite");
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/anna", 1);
    EXPECT_EQ(DefaultSqlitePath(), "/home/anna/.local/share/blubbi-blubbo/hiscore.sqlite");
}

// At most the set number of connections are open; a caller beyond them waits for one to come back,
// and those idle too long are closed but one.
TEST(ConnectionPool, BoundedCallersWaitIdleOnesClose) {
    std::atomic<int> made{0};
    TConnectionPool<int> pool([&] { return std::make_unique<int>(++made); }, [](int&) { return true; }, 2,
                              std::chrono::milliseconds(50));
    std::atomic<int> inside{0}, most{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 6; ++i)
        callers.emplace_back([&] {
            TConnectionPool<int>::TLease lease(pool);
            most = std::max(most.load(), ++inside);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            --inside;
        });
    for (auto& t : callers) t.join();
    EXPECT_EQ(most, 2);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(pool.OpenCount(), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    { TConnectionPool<int>::TLease lease(pool); }
    EXPECT_EQ(pool.OpenCount(), 1);
}

// An entry the operator hides leaves every list, its places and its replay, but its game stays
// known; a banned name's entries go with it.
TEST_P(StoreTest, HiddenEntriesLeaveEveryListABannedNameItsEntries) {
    const auto a = Store->Add(Score("a", 90)).Id;
    const auto b = Store->Add(Score("b", 80)).Id;
    Store->Add(Score("c", 70));
    EXPECT_TRUE(Store->Hide(a));
    EXPECT_FALSE(Store->Hide(a));
    EXPECT_FALSE(Store->Get(a));
    EXPECT_FALSE(Store->Replay(a));
    EXPECT_EQ(Store->FindByHash("a-90"), a);
    EXPECT_EQ(Store->Get(b)->Rank, 1);
    EXPECT_EQ(Store->List(10, 0).front().Id, b);
    EXPECT_EQ(Store->RankedPoints(), (std::vector<int32_t>{80, 70}));
    Store->Ban("name", "c");
    EXPECT_TRUE(Store->Banned("name", "c"));
    EXPECT_FALSE(Store->Banned("name", "b"));
    EXPECT_EQ(Store->Count(), 1);
    EXPECT_TRUE(Store->ListAfter(10, b)->empty());
}

// A store of the first schema (no data version) is brought up to this one when opened, its entries
// kept; one of a newer schema than this server's is not opened.
TEST(StoreSchema, AnOlderFileIsBroughtUpANewerOneRefused) {
    TScratchDatabase db{"sqlite"};
    const std::string path = db.Url().substr(7);
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(old,
                     "CREATE TABLE scores (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, points INTEGER "
                     "NOT NULL, level INTEGER NOT NULL, frames INTEGER NOT NULL, verified INTEGER NOT NULL, ranked "
                     "INTEGER NOT NULL, note TEXT NOT NULL, replay_hash TEXT NOT NULL UNIQUE, created_at INTEGER "
                     "NOT NULL); INSERT INTO scores VALUES (7, 'Alt', 50, 2, 900, 1, 1, '', 'h', 1700000000);",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(old);
    const auto entry = OpenStore(db.Url())->Get(7);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Name, "Alt");
    EXPECT_EQ(entry->DataVersion, "");
    EXPECT_EQ(entry->Rank, 1);
    // Its level is where the game-over answer led: the entry is due for one check of its replay.
    {
        const auto store = OpenStore(db.Url());
        EXPECT_EQ(store->LevelsDue(), std::vector<int64_t>{7});
        store->LevelChecked(7, 4);
        EXPECT_EQ(store->Get(7)->Level, 4);
        TNewScore fresh;
        fresh.Name = "Neu";
        fresh.ReplayHash = "n";
        store->Add(fresh);
    }
    EXPECT_TRUE(OpenStore(db.Url())->LevelsDue().empty()) << "checked twice, or a new entry was due";
    ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
    sqlite3_exec(old, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(old);
    EXPECT_THROW(OpenStore(db.Url()), TStoreError);
}

}  // namespace

namespace {

// A backup taken while the store is open and in use is the store at that moment: it opens as a
// store of its own with every entry, replay and ban, and what comes later stays out of it.
TEST(StoreBackup, ACopyTakenInUseIsTheStoreAtThatMoment) {
    TScratchDatabase db{"sqlite"};
    const std::string path = db.Url().substr(7);
    auto store = OpenStore(db.Url());
    const int64_t anna = store->Add(Score("Anna", 300)).Id;
    store->Hide(store->Add(Score("Bernd", 500)).Id);
    store->Add(Score("Carla", 100));
    store->Ban("address", "10.0.0.1");
    const std::string copy = (db.Dir() / "copy.sqlite").string();
    TSqliteStore::Backup(path, copy);
    EXPECT_FALSE(std::filesystem::exists(copy + "-wal"));  // one file, whole
    store->Add(Score("Dora", 900));

    const auto restored = OpenStore("sqlite:" + copy);
    EXPECT_EQ(restored->Count(), 2);
    EXPECT_EQ(restored->List(10, 0).front().Name, "Anna");
    EXPECT_EQ(restored->Replay(anna), store->Replay(anna));
    EXPECT_TRUE(restored->Banned("address", "10.0.0.1"));
    EXPECT_THROW(TSqliteStore::Backup((db.Dir() / "none.sqlite").string(), copy), TStoreError);
    EXPECT_EQ(OpenStore("sqlite:" + copy)->Count(), 2);
}

// The store as version 1.0 leaves it (made by its blubbi-hiscore-seed, dumped as SQL) opens with its
// entries, ranks, hidden entry and ban: whatever a later schema adds, it brings this one up.
TEST(StoreSchema, AStoreMadeByVersion1OpensWithEverything) {
    TScratchDatabase db{"sqlite"};
    std::ifstream in(BLUBBI_STORE_1_0);
    const std::string sql((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(sql.empty());
    sqlite3* file = nullptr;
    ASSERT_EQ(sqlite3_open(db.Url().substr(7).c_str(), &file), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(file, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(file);
    sqlite3_close(file);

    const auto store = OpenStore(db.Url());
    EXPECT_EQ(store->Count(), 5);
    EXPECT_FALSE(store->Get(2));
    EXPECT_TRUE(store->Banned("name", "Jörg 1"));
    const auto list = store->List(10, 0);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.front().Rank, 1);
    EXPECT_EQ(store->Replay(list.front().Id), "seeded replay " + std::to_string(list.front().Id - 1));
}

}  // namespace
