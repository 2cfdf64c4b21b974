#pragma once

#include <QString>

// The freedesktop menu entry that starts program, named Pictavo, with the picture types, icon and categories
// of the installed entry, and a Print action.
QString DesktopEntryText(const QString& program);

// True when program sits in the bin folder of an installation whose desktop entry the desktop already reads:
// the installation's data folder is the user's data home or one of XDG_DATA_DIRS, and holds the entry.
bool IsInstalledProgram(const QString& program);

// Copies the running program as "Pictavo" into the Start-menu folder "Fenwold" and writes a desktop entry
// "Pictavo.desktop" beside it, so the desktop's menu lists the copy. An installed program needs no copy; files
// that are already as they should be are not written again. Failures are ignored: the program runs the same
// without the menu entry.
void CopyProgramToStartMenu();
void CopyProgramToStartMenu(const QString& program);
