#pragma once
// A logout, a shutdown or a kill from the shell sends SIGTERM (or SIGHUP, SIGINT). Ending on the
// spot would drop every customer edit of the run, since the list is written when the window
// closes; so the signal closes every open dialog, then the windows as the close box does (which
// saves), and ends the program. A second signal ends the process the default way, for a program
// that no longer reacts.

namespace pyrelto {

// Call once, with the application made, before anything may bring up a dialog. Nothing on
// Windows, whose session end arrives as QGuiApplication::commitDataRequest and aboutToQuit.
void endOnTerminationSignals();

// A termination signal was handled: a caller between nested event loops (a message box before
// the program's own loop started, say) must not start another one, but end.
bool terminationRequested();

} // namespace pyrelto
