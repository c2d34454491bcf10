// A fresh, empty database of either kind for one test: a SQLite file in a temporary folder, or a
// new database on the PostgreSQL server named by BLUBBI_TEST_POSTGRES_URL (dropped afterwards).
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <pqxx/pqxx>
#include <random>
#include <string>

namespace blubbi::hiscore::testing {

inline std::string Unique() {
    static std::atomic<int> n{0};
    std::random_device rd;
    return std::to_string(rd()) + "_" + std::to_string(::getpid()) + "_" + std::to_string(++n);
}

class TScratchDatabase {
public:
    // Kind "sqlite" or "postgresql"; Url() is empty when PostgreSQL is not available.
    explicit TScratchDatabase(const std::string& kind) {
        if (kind == "sqlite") {
            Folder = std::filesystem::temp_directory_path() / ("blubbi-hiscore-" + Unique());
            std::filesystem::create_directories(Folder);
            Address = "sqlite:" + (Folder / "hiscore.sqlite").string();
            return;
        }
        const char* server = std::getenv("BLUBBI_TEST_POSTGRES_URL");
        if (!server || !*server) return;
        Server = server;
        Name = "t_" + Unique();
        pqxx::connection c(Server);
        pqxx::nontransaction w(c);
        w.exec("CREATE DATABASE " + Name);
        // postgresql://user@host:port/dbname?options: the database is the path after the host.
        const auto hostStart = Server.find("://") + 3;
        const auto pathStart = Server.find('/', hostStart);
        const auto query = Server.find('?', hostStart);
        const std::string head = Server.substr(0, pathStart == std::string::npos ? query : pathStart);
        Address = head + "/" + Name + (query == std::string::npos ? "" : Server.substr(query));
    }
    ~TScratchDatabase() {
        std::error_code ec;
        if (!Folder.empty()) std::filesystem::remove_all(Folder, ec);
        if (!Name.empty()) {
            try {
                pqxx::connection c(Server);
                pqxx::nontransaction w(c);
                w.exec("DROP DATABASE IF EXISTS " + Name + " WITH (FORCE)");
            } catch (...) {}
        }
    }
    const std::string& Url() const { return Address; }
    const std::filesystem::path& Dir() const { return Folder; }

private:
    std::filesystem::path Folder;
    std::string Server, Name, Address;
};

inline std::string BackendName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace blubbi::hiscore::testing

// In a test fixture with a TScratchDatabase Db: skips when the kind is not available here.
#define SKIP_WITHOUT_DATABASE(db) \
    if ((db).Url().empty()) GTEST_SKIP() << "BLUBBI_TEST_POSTGRES_URL is not set"
