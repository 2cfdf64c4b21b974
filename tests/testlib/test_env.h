#pragma once

#include <QString>

// Folder of the committed test pictures (tests/data).
QString TestDataPath(const QString& name = {});

// The private home folder the suite runs in; HOME and XDG_DATA_HOME point into it.
QString TestHome();

// A fresh empty folder below the private home, unique per call.
QString NewTestFolder();
