#include "connection.h"

#include <charconv>
#include <libpq-fe.h>
#include <map>
#include <memory>

namespace pyrelto::store_detail {

namespace {

constexpr Oid kByteaOid = 17;
constexpr const char* kUnreachable = "Die gemeinsame Datenbank ist nicht erreichbar: ";

std::string trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

class PostgresConnection final : public Connection {
public:
    explicit PostgresConnection(const std::string& conninfo) {
        // Earlier keywords are defaults that the connection string may override: a program that
        // waits minutes for an unreachable server at start is of no use in an office.
        const char* keywords[] = {"connect_timeout", "application_name", "dbname",
                                  "client_encoding", nullptr};
        const char* values[] = {"5", "pyrelto", conninfo.c_str(), "UTF8", nullptr};
        conn_ = PQconnectdbParams(keywords, values, 1);
        if (!conn_)
            throw StoreError(StoreError::Kind::Unreachable,
                             std::string(kUnreachable) + "kein Speicher");
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string reason = trimmed(PQerrorMessage(conn_));
            PQfinish(conn_);
            conn_ = nullptr;
            throw StoreError(StoreError::Kind::Unreachable, kUnreachable + reason);
        }
        quietNotices();
    }

    ~PostgresConnection() override { PQfinish(conn_); }

    StoreEngine engine() const override { return StoreEngine::Postgres; }

    void script(const char* sql) override { check(ResultPtr(PQexec(conn_, sql))); }

    Result run(const Statement& statement, std::span<const Param> params) override {
        const std::string& name = prepared(statement);
        std::vector<std::string> numbers;
        numbers.reserve(params.size());
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        for (const Param& param : params) {
            if (const auto* number = std::get_if<std::int64_t>(&param)) {
                char digits[24];
                const auto end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
                numbers.emplace_back(digits, end);
            }
        }
        std::size_t nextNumber = 0;
        for (const Param& param : params) {
            if (std::holds_alternative<std::int64_t>(param)) {
                const std::string& text = numbers[nextNumber++];
                values.push_back(text.c_str());
                lengths.push_back(static_cast<int>(text.size()));
                formats.push_back(0);
            } else if (const auto* text = std::get_if<std::string_view>(&param)) {
                // Text parameters go in binary format so that their length, not a terminating
                // NUL, ends them; the store refuses NUL in texts before they get here.
                // A null pointer would be SQL NULL rather than an empty text.
                values.push_back(text->data() ? text->data() : "");
                lengths.push_back(static_cast<int>(text->size()));
                formats.push_back(1);
            } else if (const auto* blob = std::get_if<Blob>(&param)) {
                const std::string_view bytes = blob->bytes;
                values.push_back(bytes.data() ? bytes.data() : "");
                lengths.push_back(static_cast<int>(bytes.size()));
                formats.push_back(1);
            } else {
                values.push_back(nullptr);
                lengths.push_back(0);
                formats.push_back(0);
            }
        }
        ResultPtr result(PQexecPrepared(conn_, name.c_str(), static_cast<int>(values.size()),
                                        values.data(), lengths.data(), formats.data(), 0));
        check(result);
        Result out;
        const int rows = PQntuples(result.get());
        const int columns = PQnfields(result.get());
        out.rows.reserve(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            Row row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                if (PQgetisnull(result.get(), r, c)) {
                    row.emplace_back();
                    continue;
                }
                const char* value = PQgetvalue(result.get(), r, c);
                if (PQftype(result.get(), c) == kByteaOid) {
                    std::size_t size = 0;
                    unsigned char* bytes =
                        PQunescapeBytea(reinterpret_cast<const unsigned char*>(value), &size);
                    if (!bytes)
                        throw StoreError(StoreError::Kind::Failed,
                                         "Die gemeinsame Datenbank lieferte unlesbare Daten.");
                    row.emplace_back(std::string(reinterpret_cast<const char*>(bytes), size));
                    PQfreemem(bytes);
                } else {
                    row.emplace_back(std::string(
                        value, static_cast<std::size_t>(PQgetlength(result.get(), r, c))));
                }
            }
            out.rows.push_back(std::move(row));
        }
        const char* tuples = PQcmdTuples(result.get());
        std::from_chars(tuples, tuples + std::char_traits<char>::length(tuples), out.changed);
        return out;
    }

    void begin(bool /*write*/) override {
        reconnectIfBroken();
        try {
            script("BEGIN");
        } catch (const StoreError&) {
            // A server restarted since the last call shows only now; nothing was done in this
            // transaction yet, so one new connection and a second BEGIN are safe.
            if (PQstatus(conn_) == CONNECTION_OK)
                throw;
            reconnectIfBroken();
            script("BEGIN");
        }
    }
    void commit() override { script("COMMIT"); }
    void rollback() noexcept override {
        if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE)
            PQclear(PQexec(conn_, "ROLLBACK"));
    }

private:
    // A connection that broke since the last transaction is made again here, so that a retry
    // after "nicht erreichbar" works without restarting the program.
    void reconnectIfBroken() {
        if (PQstatus(conn_) == CONNECTION_OK)
            return;
        PQreset(conn_);
        statements_.clear();
        if (PQstatus(conn_) != CONNECTION_OK)
            throw StoreError(StoreError::Kind::Unreachable,
                             kUnreachable + trimmed(PQerrorMessage(conn_)));
        quietNotices();
    }

    const std::string& prepared(const Statement& statement) {
        if (auto it = statements_.find(&statement); it != statements_.end())
            return it->second;
        char digits[24] = "s";
        const auto end = std::to_chars(digits + 1, digits + sizeof digits, statements_.size()).ptr;
        std::string name(digits, end);
        check(ResultPtr(PQprepare(conn_, name.c_str(), statement.postgres, 0, nullptr)));
        return statements_.emplace(&statement, std::move(name)).first->second;
    }

    void check(const ResultPtr& result) {
        const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return;
        if (PQstatus(conn_) != CONNECTION_OK)
            throw StoreError(StoreError::Kind::Unreachable,
                             kUnreachable + trimmed(PQerrorMessage(conn_)));
        const std::string reason =
            trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn_));
        const char* state = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        // Class 23: integrity constraint violation; 22: data exception.
        if (state && (state[0] == '2') && (state[1] == '3' || state[1] == '2'))
            throw StoreError(StoreError::Kind::Refused,
                             "Die gemeinsame Datenbank hat die Änderung abgelehnt: " + reason);
        // Class 08: connection exception; 57P: operator intervention (server shut down).
        if (state &&
            ((state[0] == '0' && state[1] == '8') || std::string_view(state).starts_with("57P")))
            throw StoreError(StoreError::Kind::Unreachable, kUnreachable + reason);
        throw StoreError(StoreError::Kind::Failed,
                         "Fehler in der gemeinsamen Datenbank: " + reason);
    }

    void quietNotices() {
        // "relation already exists, skipping" and the like are not for the user.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
    }

    PGconn* conn_ = nullptr;
    std::map<const Statement*, std::string> statements_;
};

} // namespace

std::unique_ptr<Connection> connectPostgres(const std::string& conninfo) {
    return std::make_unique<PostgresConnection>(conninfo);
}

} // namespace pyrelto::store_detail
