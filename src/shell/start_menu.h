#pragma once

#include <QString>

// The freedesktop menu entry that starts program, named Pictavo, in the Graphics category.
QString DesktopEntryText(const QString& program);

// Copies the running program as "Pictavo" into the Start-menu folder "Fenwold" and writes a desktop entry
// "Pictavo.desktop" beside it, so the desktop's menu lists the copy. Failures are ignored: the program runs
// the same without the menu entry.
void CopyProgramToStartMenu();
