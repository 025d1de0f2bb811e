#pragma once
// A logout, a shutdown or a kill from the shell sends SIGTERM (or SIGHUP, SIGINT). Ending on the
// spot would drop every customer edit of the run, since the list is written when the window
// closes; so the signal closes the windows as the close box does. A second signal ends the
// process the default way, for a program that no longer reacts.

namespace pyrelto {

// Call once, with the application made, before its event loop. Nothing on Windows.
void closeWindowsOnTerminationSignals();

} // namespace pyrelto
