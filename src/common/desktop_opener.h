#pragma once

#include <QString>

#include <functional>

// Opens a file or address with the desktop's default handler, or starts a program file, in the given working
// folder. Errors of the handler are not reported.
void OpenWithDesktop(const QString& target, const QString& parameters, const QString& workingFolder);

// Replaces what OpenWithDesktop does (tests record the requests instead of starting programs). Returns the
// previous opener; an empty function restores the desktop's.
using DesktopOpener = std::function<void(const QString& target, const QString& parameters, const QString& folder)>;
DesktopOpener SetDesktopOpener(DesktopOpener opener);
