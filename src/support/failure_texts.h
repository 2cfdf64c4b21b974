#pragma once

#include <QString>

// The failure texts of the archive, help and translation services, each named once.
inline const QString kOutOfMemory = QStringLiteral("Out of memory");
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kFileInUse = QStringLiteral("File in use");
inline const QString kUnknownFormat = QStringLiteral("Unknown format");
inline const QString kUnsupportedEncoding = QStringLiteral("Unsupported encoding");
inline const QString kUnexpectedError = QStringLiteral("Unexpected error");
inline const QString kCapacityReached = QStringLiteral("Capacity reached");
inline const QString kTaskCancelled = QStringLiteral("Task cancelled");
inline const QString kOutOfDiskSpace = QStringLiteral("Out of disk space");
