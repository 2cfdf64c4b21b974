#pragma once

#include <QString>

// The settings file: "Pictavo." + extension in the settings folder, which is created when missing.
QString SettingsFileName(const QString& extension);
