#pragma once

#include "platform/printer.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

// A printer port that records what it is asked and refuses the transfers the test tells it to refuse. It lives on
// after being handed to the engine; tests keep a plain pointer and the port owns nothing of theirs.
class TScriptedPrinter final : public platform::TPrinterPort {
public:
    struct TLog {
        QString Title;
        std::vector<QSize> Transfers;
        QImage LastPage;
        int Measures = 0;
        int Ends = 0;
        int Aborts = 0;
    };

    bool InstalledAnswer = true;
    platform::TPageMetrics Page{};  // what Measure answers; the orientation swaps it
    int CopiesAnswer = 1;
    // Transfer number n (from 0) is refused when RefuseTransfer(n) says so.
    std::function<bool(int n)> RefuseTransfer = [](int) { return false; };
    std::function<void()> DuringTransfer;
    std::function<bool(TScriptedPrinter&)> SetupAnswer = [](TScriptedPrinter&) { return false; };
    int OrientationValue = 0;
    bool EndAnswer = true;  // false: the page could not be sent
    TLog Log;

    bool Installed() override { return InstalledAnswer; }
    void SetOrientation(int orientation) override { OrientationValue = orientation; }
    int Orientation() override { return OrientationValue; }

    platform::TPageMetrics Measure() override
    {
        ++Log.Measures;
        platform::TPageMetrics page = Page;
        if (OrientationValue == 1)
            std::swap(page.Width, page.Height);
        return page;
    }

    int Copies() override { return CopiesAnswer; }
    void SetCopies(int copies) override { CopiesAnswer = copies; }
    void BeginDocument(const QString& title) override { Log.Title = title; }

    bool Transfer(const QImage& page) override
    {
        const int n = int(Log.Transfers.size());
        Log.Transfers.push_back(page.size());
        Log.LastPage = page;
        if (DuringTransfer)
            DuringTransfer();
        return !RefuseTransfer(n);
    }

    bool EndDocument() override
    {
        ++Log.Ends;
        return EndAnswer;
    }

    void AbortDocument() override { ++Log.Aborts; }
    bool Setup(QWidget*) override { return SetupAnswer(*this); }
};
