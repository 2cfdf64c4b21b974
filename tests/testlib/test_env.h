#pragma once

#include <QByteArray>
#include <QString>

// Folder of the committed test pictures (tests/data).
QString TestDataPath(const QString& name = {});

// The private home folder the suite runs in; HOME and XDG_DATA_HOME point into it.
QString TestHome();

// A fresh empty folder below the private home, unique per call.
QString NewTestFolder();

// A file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

// Writes bytes into a file, making its folder first; a file that cannot be written fails the test.
void WriteFile(const QString& path, const QByteArray& bytes);
