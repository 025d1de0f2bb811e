#include "connection.h"

#include <filesystem>
#include <map>
#include <sqlite3.h>

namespace pyrelto::store_detail {

namespace {

// A writer waits this long for another PC's or process's transaction before giving up.
constexpr int kBusyTimeoutMs = 15000;

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(const std::string& path) : path_(path) {
        std::error_code ignored;
        const std::filesystem::path file(path);
        if (file.has_parent_path())
            std::filesystem::create_directories(file.parent_path(), ignored);
        const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            db_ = nullptr;
            throw StoreError(StoreError::Kind::Unreachable,
                             "Die Datenbank „" + path + "“ kann nicht geöffnet werden: " + reason);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        // WAL lets readers go on while one writer records; FULL makes a commit durable before
        // the program goes on to write the PDF under the number it got.
        script("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    }

    ~SqliteConnection() override {
        for (auto& [key, stmt] : statements_)
            sqlite3_finalize(stmt);
        sqlite3_close(db_);
    }

    StoreEngine engine() const override { return StoreEngine::Sqlite; }

    void script(const char* sql) override {
        char* message = nullptr;
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            const std::string reason = message ? message : sqlite3_errstr(rc);
            sqlite3_free(message);
            fail(rc, reason);
        }
    }

    Result run(const Statement& statement, std::span<const Param> params) override {
        sqlite3_stmt* stmt = prepared(statement);
        int index = 1;
        for (const Param& param : params) {
            int rc = SQLITE_OK;
            if (const auto* number = std::get_if<std::int64_t>(&param))
                rc = sqlite3_bind_int64(stmt, index, *number);
            else if (const auto* text = std::get_if<std::string_view>(&param))
                rc = sqlite3_bind_text64(stmt, index, text->data(), text->size(), SQLITE_STATIC,
                                         SQLITE_UTF8);
            else if (const auto* blob = std::get_if<Blob>(&param)) {
                const std::string_view bytes = blob->bytes;
                // A null pointer would bind NULL instead of an empty blob.
                rc = sqlite3_bind_blob64(stmt, index, bytes.empty() ? "" : bytes.data(),
                                         bytes.size(), SQLITE_STATIC);
            } else
                rc = sqlite3_bind_null(stmt, index);
            if (rc != SQLITE_OK)
                failStatement(stmt, rc);
            ++index;
        }
        Result result;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                failStatement(stmt, rc);
            Row row;
            const int columns = sqlite3_column_count(stmt);
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                const int type = sqlite3_column_type(stmt, c);
                if (type == SQLITE_NULL) {
                    row.emplace_back();
                    continue;
                }
                const void* data = type == SQLITE_BLOB ? sqlite3_column_blob(stmt, c)
                                                       : sqlite3_column_text(stmt, c);
                const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
                row.emplace_back(std::string(static_cast<const char*>(data), size));
            }
            result.rows.push_back(std::move(row));
        }
        result.changed = sqlite3_changes64(db_);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        return result;
    }

    void begin(bool write) override { script(write ? "BEGIN IMMEDIATE" : "BEGIN"); }
    void commit() override { script("COMMIT"); }
    void rollback() noexcept override {
        if (!sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    sqlite3_stmt* prepared(const Statement& statement) {
        if (auto it = statements_.find(&statement); it != statements_.end())
            return it->second;
        const std::string sql =
            statement.sqlite ? std::string(statement.sqlite) : sqliteParameters(statement.postgres);
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size() + 1),
                                          SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (rc != SQLITE_OK)
            fail(rc, sqlite3_errmsg(db_));
        statements_.emplace(&statement, stmt);
        return stmt;
    }

    [[noreturn]] void failStatement(sqlite3_stmt* stmt, int rc) {
        const std::string reason = sqlite3_errmsg(db_);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        fail(rc, reason);
    }

    [[noreturn]] void fail(int rc, const std::string& reason) const {
        switch (rc & 0xff) {
        case SQLITE_CONSTRAINT:
            throw StoreError(StoreError::Kind::Refused,
                             "Die Datenbank hat die Änderung abgelehnt: " + reason);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw StoreError(StoreError::Kind::Unreachable,
                             "Die Datenbank „" + path_ +
                                 "“ ist zu lange von einem anderen Vorgang belegt: " + reason);
        case SQLITE_CANTOPEN:
        case SQLITE_IOERR:
        case SQLITE_FULL:
        case SQLITE_READONLY:
            throw StoreError(StoreError::Kind::Unreachable,
                             "Die Datenbank „" + path_ + "“ ist nicht zugänglich: " + reason);
        default:
            throw StoreError(StoreError::Kind::Failed,
                             "Fehler in der Datenbank „" + path_ + "“: " + reason);
        }
    }

    std::string path_;
    sqlite3* db_ = nullptr;
    std::map<const Statement*, sqlite3_stmt*> statements_;
};

} // namespace

std::string sqliteParameters(std::string_view sql) {
    std::string out(sql);
    bool quoted = false;
    for (char& c : out) {
        if (c == '\'')
            quoted = !quoted;
        else if (c == '$' && !quoted)
            c = '?';
    }
    return out;
}

std::unique_ptr<Connection> connectSqlite(const std::string& path) {
    return std::make_unique<SqliteConnection>(path);
}

} // namespace pyrelto::store_detail
