#pragma once
// The steps pyrelto-cli has only in builds with Qt ("--offer FILE", "--calculation-pdf FILE",
// "--invoice FILE"), carried by its module pyrelto-cli-qt (cli_module.h). They draw with Qt on its
// offscreen platform, so they need no display.

#include "cli.h"

#include <vector>

namespace pyrelto {

std::vector<CliFileStep> qtCliSteps();
// The program's database and its one-time take-over of the old files, for --store and --offers.
CliStoreAccess qtCliStoreAccess();

// Ends the application object the steps made on first use (none when the process had one).
void releaseCliApplication();

} // namespace pyrelto
