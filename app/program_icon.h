#pragma once
// The program's identity towards the desktop: the name of its menu entry, which is also the name
// of its icon in the icon theme, and the icon the window shows.

#include <QIcon>
#include <QString>

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

} // namespace pyrelto
