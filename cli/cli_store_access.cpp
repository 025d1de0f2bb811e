#include "cli.h"

#ifdef PYRELTO_STORE
#include "store.h"
#endif

namespace pyrelto {

CliStoreAccess plainCliStoreAccess() {
#ifdef PYRELTO_STORE
    // The default name is the driver's own (pyrelto.db in the program data folder).
    return {{}, [](const std::string& uri, std::ostream&) { return openStore(uri); }};
#else
    return {};
#endif
}

} // namespace pyrelto
