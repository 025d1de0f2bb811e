#pragma once
// The program's identity towards the desktop: the name of its menu entry, which is also the name
// of its icon in the icon theme, and the icon the window shows.

#include <QIcon>
#include <QString>

class QWidget;

namespace pyrelto {

// Stays the same across versions: desktops keep file associations, pinned task-bar entries and
// window matching under this name.
QString desktopId();

// The icon compiled into the program, in every size the installed theme has; shown when no
// theme provides one (a program started from a build folder, or a desktop without the theme).
QIcon builtInProgramIcon();

// The icon from the current icon theme, so an icon theme may restyle it; otherwise the built-in
// one.
QIcon programIcon();

// Gives the application programIcon() once `window` has painted for the first time. Under X11,
// reading the icon theme and handing every size to the window system cost 6 % of the start-up's
// instructions, and a fifth when nothing else has read the theme yet; a task-bar icon that comes
// a moment later costs the user nothing, a later first paint does.
void setProgramIconAfterFirstPaint(QWidget& window);

} // namespace pyrelto
