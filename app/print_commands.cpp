#include "MainUnit.h"

namespace pyrelto {

// The printer set-up and the printout come with printing; the menu and the button already lead
// here.
void TMainForm::printerSetupCommand() {}

void TMainForm::printCommand() {}

} // namespace pyrelto
