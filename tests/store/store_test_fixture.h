#pragma once
// The store against both engines: every case runs on SQLite and, when PYRELTO_TEST_PG holds a
// libpq connection string ("host=/tmp/pg port=5433 dbname=postgres"), on PostgreSQL, each case in
// a schema of its own. scripts/test.sh postgres starts a throwaway server and sets it.

#include "store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace pyrelto::test {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class StoreTest : public testing::TestWithParam<StoreEngine> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pyrelto-store-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        if (GetParam() == StoreEngine::Sqlite) {
            // A folder that does not exist yet: the store creates it with the file.
            uri_ = (dir_ / "daten" / "pyrelto.db").string();
            return;
        }
        const char* server = std::getenv("PYRELTO_TEST_PG");
        if (!server || !*server)
            GTEST_SKIP() << "PostgreSQL skipped: PYRELTO_TEST_PG is not set "
                            "(scripts/test.sh postgres sets it)";
        admin_ = PQconnectdb(server);
        ASSERT_EQ(PQstatus(admin_), CONNECTION_OK) << PQerrorMessage(admin_);
        PQsetNoticeProcessor(
            admin_, [](void*, const char*) {}, nullptr);
        static int next = 0;
        schema_ = "store_test_" + std::to_string(getpid()) + "_" + std::to_string(next++);
        adminExec("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
        adminExec("CREATE SCHEMA " + schema_);
        uri_ = std::string(server) + " options=-csearch_path=" + schema_;
    }

    void TearDown() override {
        if (admin_) {
            adminExec("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
            PQfinish(admin_);
        }
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::unique_ptr<Store> open(StoreHooks hooks = {}) { return openStore(uri_, std::move(hooks)); }

    // Test-only SQL beside the store, for what no program does (a newer schema version).
    void rawExec(const std::string& sql) {
        if (GetParam() == StoreEngine::Postgres) {
            adminExec("SET search_path TO " + schema_ + "; " + sql);
            return;
        }
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(uri_.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    void adminExec(const std::string& sql) {
        PGresult* result = PQexec(admin_, sql.c_str());
        EXPECT_TRUE(PQresultStatus(result) == PGRES_COMMAND_OK ||
                    PQresultStatus(result) == PGRES_TUPLES_OK)
            << sql << ": " << PQerrorMessage(admin_);
        PQclear(result);
    }

    fs::path dir_;
    std::string uri_;
    std::string schema_;
    PGconn* admin_ = nullptr;
};

// Texts that break SQL built from strings, or engines that treat them differently.
struct HostileText {
    const char* name;
    std::string text;
};

inline std::vector<HostileText> hostileTexts() {
    std::string rtl = "\u05E9\u05DC\u05D5\u05DD \u202Eabc\u202C \u0645\u0631\u062D\u0628\u0627";
    return {
        {"quotes", "O'Neil \"Dach\" `x` \\'"},
        {"sql", "'; DROP TABLE offers; --"},
        {"long", std::string(100000, 'x') + "ß"},
        {"rtl", rtl},
        {"emoji", "Dach 🏠👷‍♀️ 🇩🇪"},
        {"lines", "eins\r\nzwei\nдва\t"},
        {"dollar", "$1 ?1 :a @b $$x$$"},
    };
}

inline const auto kBothEngines = testing::Values(StoreEngine::Sqlite, StoreEngine::Postgres);
inline std::string engineName(const testing::TestParamInfo<StoreEngine>& info) {
    return info.param == StoreEngine::Sqlite ? "sqlite" : "postgres";
}

} // namespace pyrelto::test
