#pragma once

#include <QString>

#include <functional>

// Every caption, message and description passes through Translate before it is shown. Until a translation table
// is installed, texts are shown as written.
QString Translate(const QString& text);

// Installs the translation table's lookup and the function that frees it at program end.
void SetTranslator(std::function<QString(const QString&)> lookup, std::function<void()> release = {});

// Frees the installed table (program end); Translate then answers texts as written.
void ReleaseTranslator();
