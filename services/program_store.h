#pragma once
// The database the program keeps the firm's data in (store/store.h), as the window and pyrelto-cli
// open it: which one, and the one-time take-over of what earlier versions kept in files and
// settings (the address file, the firm data and the last offer number of this user's settings,
// the customer list file). No widgets here.

#include "store.h"

#include <QString>
#include <memory>
#include <string>

namespace pyrelto {

class SettingsStore;

// The settings groups where earlier versions kept the firm data and the offer counter; read by
// the take-over only.
inline constexpr auto kFirmDataGroup = u"Firmendaten";
inline constexpr auto kOfferGroup = u"Angebote";

// The file of the default database, in the program data folder.
inline constexpr auto kStoreFileName = u"pyrelto.db";

// The settings group of the database choice ("Datenbank...").
inline constexpr auto kDatabaseGroup = u"Datenbank";

// Which database the program uses, as "Datenbank..." sets it. Never a password: libpq takes that
// from the user's pgpass file or a service of pg_service.conf.
struct DatabaseChoice {
    // False: "Nur dieser PC", the file pyrelto.db in the program data folder.
    bool server = false;
    QString host;
    int port = 5432;
    QString database = QStringLiteral("pyrelto");
    QString user; // empty: the user's login name, as libpq takes it
    // True: "sslmode=require", no connection without TLS; otherwise "prefer".
    bool requireTls = false;
    friend bool operator==(const DatabaseChoice&, const DatabaseChoice&) = default;
};

// The stored choice; the default (this PC) for values that are missing or cannot be used.
DatabaseChoice readDatabaseChoice(const SettingsStore& settings);
// False when the settings refused a value or could not make them durable.
bool writeDatabaseChoice(SettingsStore& settings, const DatabaseChoice& choice);
// The libpq connection string of a server choice, each value quoted as libpq reads it (so a value
// with spaces or quotes stays one value); empty values are left to libpq's defaults.
std::string connectionString(const DatabaseChoice& choice);
// The database of `choice`: a connection string, or the path of pyrelto.db.
std::string storeUri(const DatabaseChoice& choice);

// The program's database as the settings choose it: by default "pyrelto.db" in the program data
// folder.
std::string programStoreUri();

// Opens the database `uri` (a file name or a libpq connection string) and, unless a program took
// old data over into it before, takes over this user's old files and settings, which are only
// read. A damaged address file is left out of the take-over and named in `warning` (German); the
// rest is taken over. Throws StoreError: the database cannot be reached, is too new, or refused
// the take-over (then nothing of it was written, and the next opening tries again).
std::unique_ptr<Store> openProgramStore(const std::string& uri, StoreHooks hooks = {},
                                        QString* warning = nullptr);

// The take-over part of openProgramStore, for a database opened elsewhere (the window connects to a
// server off its own thread, then adopts the connection). Throws StoreError as openProgramStore.
std::unique_ptr<Store> adoptProgramStore(std::unique_ptr<Store> store, QString* warning = nullptr);

} // namespace pyrelto
