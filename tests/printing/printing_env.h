#pragma once

#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

// The private CUPS scheduler of the printing suite (tests/cups/start.sh) and what its queues printed.

// Empty when the scheduler runs; otherwise why the tests that need it skip.
QString SchedulerSkipReason();
// Skips the current test unless the run is the one without any printer.
bool NoPrinterRun();

struct TPrintedJob {
    QString Document;             // the PDF as CUPS handed it to the backend
    QMap<QString, QString> Args;  // printer, title, copies, options
};

// Job documents present now; WaitForNewJob waits (up to 20 s) for one not in before.
QStringList PrintedJobs();
bool WaitForNewJob(const QStringList& before, TPrintedJob& job);

// The first page of a PDF rasterised by pdftoppm at dpi; null on failure.
QImage RasterisePdf(const QString& pdf, int dpi);
// Page size in points from pdfinfo, e.g. "595 x 842"; empty on failure.
QString PdfPageSize(const QString& pdf);

// Runs a program and waits; the exit status, or -1 when it could not run or crashed.
struct TProcessResult {
    int Status = -1;
    QString Out;
    QString Err;
};
TProcessResult RunProgram(const QString& program, const QStringList& args, const QStringList& environment = {},
                          int timeoutMs = 60000);

// Whether a colour is near the expected one (rasterising and PDF images blur a little).
bool Near(QRgb actual, QRgb expected, int tolerance = 24);

#define SKIP_WITHOUT_SCHEDULER()                                        \
    do {                                                                \
        if (!SchedulerSkipReason().isEmpty())                           \
            GTEST_SKIP() << SchedulerSkipReason().toStdString();        \
    } while (false)
