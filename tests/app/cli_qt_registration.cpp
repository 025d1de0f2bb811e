// The command-line steps run in-process here find the database as the installed pyrelto-cli does
// through its module: the program's own choice, with the take-over of the old files.
#include "cli_qt_steps.h"

namespace {

[[maybe_unused]] const bool registered =
    pyrelto::registerCliStoreAccess(pyrelto::qtCliStoreAccess());

} // namespace
