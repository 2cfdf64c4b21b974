#pragma once

#include "common/general.h"
#include "shell/main_window.h"
#include "testlib/scoped_hook.h"

#include <QStringList>

#include <memory>
#include <vector>

// Captures the error boxes shown while it lives, instead of showing modal boxes.
class CapturedErrors {
public:
    std::vector<QString> Messages;

private:
    ScopedHook<ErrorBox> FBox{SetErrorBox,
                              [this](const QString& message, const QString&) { Messages.push_back(message); }};
};

// The small picture the window's tests open: 4 x 3 pixels.
QString HolidayPicture();

// A main window built from the given command line, as the program builds it.
std::unique_ptr<TForm1> MakeWindow(const QStringList& arguments = {});
