#include "printing/printing_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>

namespace {

QString Folder()
{
    return qEnvironmentVariable("PICTAVO_CUPS_DIR");
}

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// libcups reads CUPS_SERVER on its first call, so it is set before anything in the suite prints.
const QString kSkipReason = [] {
    if (NoPrinterRun())
        return QStringLiteral("this run has no printer");
    if (Folder().isEmpty())
        return QStringLiteral("PICTAVO_CUPS_DIR is not set: run the suite through ctest, which starts the scheduler");
    const QString server = ReadText(Folder() + "/server");
    if (server.isEmpty()) {
        const QString error = ReadText(Folder() + "/error");
        return "the private CUPS scheduler did not start: " + (error.isEmpty() ? QStringLiteral("no reason given") : error);
    }
    qputenv("CUPS_SERVER", server.toUtf8());
    return QString();
}();

}  // namespace

QString SchedulerSkipReason()
{
    return kSkipReason;
}

bool NoPrinterRun()
{
    return qEnvironmentVariableIntValue("PICTAVO_EXPECT_NO_PRINTER") == 1;
}

QStringList PrintedJobs()
{
    return QDir(Folder() + "/out").entryList({"job-*.pdf"}, QDir::Files, QDir::Name);
}

bool WaitForNewJob(const QStringList& before, TPrintedJob& job)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        for (const QString& name : PrintedJobs()) {
            if (before.contains(name))
                continue;
            job.Document = Folder() + "/out/" + name;
            QString args = job.Document;
            args.replace(QRegularExpression("\\.pdf$"), ".txt");
            for (const QString& line : ReadText(args).split('\n')) {
                const qsizetype eq = line.indexOf('=');
                if (eq > 0)
                    job.Args.insert(line.left(eq), line.mid(eq + 1));
            }
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

TProcessResult RunProgram(const QString& program, const QStringList& args, const QStringList& environment,
                          int timeoutMs)
{
    TProcessResult result;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& assignment : environment) {
        const qsizetype eq = assignment.indexOf('=');
        if (eq < 0)
            env.remove(assignment);
        else
            env.insert(assignment.left(eq), assignment.mid(eq + 1));
    }
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.Err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }
    result.Status = process.exitCode();
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QImage RasterisePdf(const QString& pdf, int dpi)
{
    QTemporaryDir dir;
    const QString stem = dir.path() + "/page";
    const TProcessResult run =
        RunProgram("pdftoppm", {"-png", "-r", QString::number(dpi), "-singlefile", "-f", "1", "-l", "1", pdf, stem});
    if (run.Status != 0)
        return {};
    return QImage(stem + ".png").convertToFormat(QImage::Format_RGB32);
}

QString PdfPageSize(const QString& pdf)
{
    const TProcessResult run = RunProgram("pdfinfo", {pdf});
    const QRegularExpressionMatch match =
        QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(run.Out);
    if (!match.hasMatch())
        return {};
    return QString::number(qRound(match.captured(1).toDouble())) + " x " +
           QString::number(qRound(match.captured(2).toDouble()));
}

bool Near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}
