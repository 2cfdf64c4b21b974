#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TLanguage;

// The translator's form of a language file: UTF-8 text, one entry a line, the English text, a tab and the
// translation; header lines "@language", "@product", "@description" (and "@key-a", "@key-b" for a file with
// keys of its own); lines starting with "#" are comments. A backslash writes what a line cannot hold: \t, \n,
// \r, \\, \xHH for other control characters, and \# or \@ for a text starting with that character.

// The table of a language: its header and its entries in file order.
QByteArray ExportTable(const TLanguage& language);

// Fills the language from a table. English texts may be written as the program shows them ("&Open..."): the
// accelerator mark and trailing dots are taken off, as the program looks them up, and the same trailing dots
// come off the translation. Lines without a translation are left out (counted in untranslated), and so are
// later lines for an English text already given (counted in repeated). False, with a message naming the
// line, when the table cannot be stored: a character outside Latin-1, no tab, a broken escape, more entries
// than the program reads.
bool ImportTable(const QByteArray& table, TLanguage& language, QString& error, int* untranslated = nullptr,
                 int* repeated = nullptr);

// A table of every given text as the program shows it, with the translation the language has for it (empty
// when none) and the language's header.
QByteArray TemplateTable(const QStringList& texts, const TLanguage& language);
