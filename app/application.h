#pragma once
// The program's entry, shared by the executable and by the start-up measurement: the settings
// made for the whole application before the main window exists.

class QApplication;

namespace pyrelto {

// Tahoma at 11 pixels for every window, the desktop entry's name, and Qt's own texts (dialog
// buttons, context menus) in German like the rest of the program. The application title is
// applicationTitle() (dialogs.h), the caption of the standard error report.
void setUpApplication(QApplication& app);

// The Fusion style with a dark palette, the way a dark desktop presents the window: used to look
// at the window in both palettes and to test that every field stays visible on a dark one.
void useDarkFusion();

// Runs the program: the application, the main window with the command line, the event loop.
int runPyrelto(int argc, char** argv);

} // namespace pyrelto
