#pragma once

#include <QStringList>

// Every English text the program passes through the translation table, as the program writes it (menu items
// with their accelerator mark and dots). The language tool's template is made from this list; a test checks
// that every text the sources hand to the table is in it.
const QStringList& ProgramTexts();

