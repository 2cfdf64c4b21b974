#pragma once

#include <QString>

// The kinds of file a page can be printed into instead of a printer: a PDF page, or the page bitmap itself in an
// image format. The command line checks a /PRINTTO name against them; the platform's file ports write them.

// A kind of print file by its extension, and Qt's name of its image format (null for a PDF page).
struct TPageFormat {
    const char* Extension;
    const char* QtFormat;
};

// The kind a file name's extension names, in any letter case; null for any other name.
const TPageFormat* PageFormatOf(const QString& fileName);
// Whether a page can be printed into a file of that name: the extensions of formats that hold a page.
bool CanPrintToFile(const QString& fileName);
// The extensions CanPrintToFile accepts, for messages.
QString PrintFileExtensions();
