#pragma once
// The one-time take-over of what the program kept before the store: the remembered addresses
// ("adressen.dat"), the firm data and the last offer number of the settings. The old file and
// settings are only read, so that going back to an older version of the program loses nothing.

#include "store.h"

#include <map>
#include <string>
#include <vector>

namespace pyrelto {

struct OldProgramData {
    // The address file; a missing file is nothing to take over.
    std::string addressFile;
    // The values of the settings groups "Firmendaten" and "Angebote", as stored.
    std::map<std::string, std::string, std::less<>> firmSettings;
    std::map<std::string, std::string, std::less<>> offerSettings;
    // The names of the customer list file, for the shared list.
    std::vector<std::string> customers;
};

// Takes `old` over into `store` unless a take-over happened there before (then false, and nothing
// is read). A damaged address file throws StoreError and takes nothing over. A last offer number
// that is not of the form YYYY-NNN starts no counter: the store hands out YYYY-NNN numbers only.
bool takeOverOldData(Store& store, const OldProgramData& old);

} // namespace pyrelto
