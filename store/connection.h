#pragma once
// The little each engine has to provide under the Store: run a constant statement with bound
// parameters, run a constant script, and transactions. No user data ever reaches SQL text.

#include "store.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pyrelto::store_detail {

// A statement's text, with $1, $2 … for its parameters. `sqlite` is given where SQLite needs other
// words (e.g. no FOR UPDATE, whose lock BEGIN IMMEDIATE already holds); otherwise SQLite runs
// `postgres` with $N turned into ?N. Statements live in static storage: engines cache their
// prepared form by address.
struct Statement {
    const char* postgres;
    const char* sqlite = nullptr;
};

struct Blob {
    std::string_view bytes;
};
struct Null {};
using Param = std::variant<std::int64_t, std::string_view, Blob, Null>;
using Cell = std::optional<std::string>; // text, a number's decimal text, or a blob's bytes
using Row = std::vector<Cell>;

struct Result {
    std::vector<Row> rows;
    std::int64_t changed = 0; // rows inserted, updated or deleted
};

class Connection {
public:
    virtual ~Connection() = default;
    virtual StoreEngine engine() const = 0;
    // Several constant statements without parameters (a migration).
    virtual void script(const char* sql) = 0;
    virtual Result run(const Statement& statement, std::span<const Param> params) = 0;
    Result run(const Statement& statement, std::initializer_list<Param> params) {
        return run(statement, std::span<const Param>(params.begin(), params.size()));
    }
    // `write`: the transaction will write (SQLite takes the write lock at once, so that two
    // writers never deadlock on an upgrade).
    virtual void begin(bool write) = 0;
    virtual void commit() = 0;
    virtual void rollback() noexcept = 0;
};

std::unique_ptr<Connection> connectSqlite(const std::string& path);
std::unique_ptr<Connection> connectPostgres(const std::string& conninfo);

// $N → ?N, for SQLite.
std::string sqliteParameters(std::string_view sql);

// `text` when it is valid UTF-8 without NUL; otherwise StoreError (Refused) naming `what`. Texts go
// into the database only so: PostgreSQL refuses both, and SQLite would take them, so a store would
// behave differently depending on its engine.
std::string_view checkedText(std::string_view text, const char* what);
// A number column's value; StoreError (Failed) for NULL or anything else.
std::int64_t number(const Cell& cell);

} // namespace pyrelto::store_detail
