#pragma once

#include <QString>

// The program's failure texts, each named once. They are shown as they stand and are keys of the
// translation table, so a change here is a change for every translator.
inline const QString kOutOfMemory = QStringLiteral("Out of memory");
inline const QString kFileNotFound = QStringLiteral("File not found");
inline const QString kFileInUse = QStringLiteral("File in use");
inline const QString kUnknownFormat = QStringLiteral("Unknown format");
inline const QString kUnsupportedFormat = QStringLiteral("Unsupported format");
inline const QString kUnsupportedEncoding = QStringLiteral("Unsupported encoding");
inline const QString kUnexpectedError = QStringLiteral("Unexpected error");
inline const QString kCapacityReached = QStringLiteral("Capacity reached");
inline const QString kTaskCancelled = QStringLiteral("Task cancelled");
inline const QString kTaskFailed = QStringLiteral("Task failed");
inline const QString kOutOfDiskSpace = QStringLiteral("Out of disk space");
inline const QString kIndexOutOfRange = QStringLiteral("Index out of range");
inline const QString kInvalidDimensions = QStringLiteral("Invalid dimensions");
inline const QString kStreamWriteFailure = QStringLiteral("Stream write failure");
inline const QString kNoPrinterInstalled = QStringLiteral("No printer installed");
// A queue named on the command line that the desktop does not have; shown after the queue's name.
inline const QString kNoSuchPrinter = QStringLiteral("No such printer");
