#pragma once

#include <QString>

// What stands in the way of reading or writing a file, in a person's words. Each text is its own translation key.

// Empty when path names a regular file the program may read (through a link that leads to one, too); otherwise
// "File not found", a dangling link, a folder, a pipe, a device or a file the user may not read.
QString InputFileProblem(const QString& path);

// Empty when a file of that name can be written by replacing whatever name is there now; otherwise why not: a
// folder, pipe or device under that name, a read-only file, a missing or unwritable folder.
QString OutputFileProblem(const QString& path);

// The reason when a writer gave up without the system saying why.
QString NotWrittenText();

// The reason behind a failed system call (errno) while a file was written.
QString WriteErrorText(int error);

// "file: reason", the form every message about a file takes.
QString FileMessage(const QString& path, const QString& reason);
