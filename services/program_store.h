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

// The settings groups where earlier versions kept the firm data and the offer counter; read by
// the take-over only.
inline constexpr auto kFirmDataGroup = u"Firmendaten";
inline constexpr auto kOfferGroup = u"Angebote";

// The file of the default database, in the program data folder.
inline constexpr auto kStoreFileName = u"pyrelto.db";

// The program's database: "pyrelto.db" in the program data folder.
std::string programStoreUri();

// Opens the database `uri` (a file name or a libpq connection string) and, unless a program took
// old data over into it before, takes over this user's old files and settings, which are only
// read. A damaged address file is left out of the take-over and named in `warning` (German); the
// rest is taken over. Throws StoreError: the database cannot be reached, is too new, or refused
// the take-over (then nothing of it was written, and the next opening tries again).
std::unique_ptr<Store> openProgramStore(const std::string& uri, StoreHooks hooks = {},
                                        QString* warning = nullptr);

} // namespace pyrelto
