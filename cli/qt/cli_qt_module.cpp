// The entry of the module pyrelto-cli-qt: what the driver finds by name once it has loaded it.
#include "cli_module.h"
#include "cli_qt_steps.h"

#ifdef _WIN32
#define PYRELTO_MODULE_EXPORT __declspec(dllexport)
#else
#define PYRELTO_MODULE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" PYRELTO_MODULE_EXPORT const pyrelto::CliModule* pyreltoCliModule(int interface) {
    if (interface != pyrelto::kCliModuleInterface)
        return nullptr;
    static const pyrelto::CliModule module{pyrelto::qtCliSteps(), pyrelto::qtCliStoreAccess(),
                                           pyrelto::releaseCliApplication};
    return &module;
}
