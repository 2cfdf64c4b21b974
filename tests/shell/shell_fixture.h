#pragma once

#include "common/general.h"
#include "shell/main_window.h"
#include "testlib/scoped_hook.h"

#include <QAction>
#include <QLabel>
#include <QStringList>
#include <QToolButton>

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

// The window's parts, found by their object names: a menu item ("Print1"), a button by its tag, a status panel
// ("StatusPanel"), or any other widget.
template <class T = QWidget>
T* Part(const TForm1& window, const QString& name)
{
    return window.findChild<T*>(name);
}
inline QAction* Item(const TForm1& window, const QString& name) { return Part<QAction>(window, name); }
inline QToolButton* Button(const TForm1& window, int tag)
{
    return Part<QToolButton>(window, QString("Button%1").arg(tag));
}
inline QLabel* Panel(const TForm1& window, const QString& name) { return Part<QLabel>(window, name); }

// The small picture the window's tests open: 4 x 3 pixels.
QString HolidayPicture();

// A main window built from the given command line, as the program builds it.
std::unique_ptr<TForm1> MakeWindow(const QStringList& arguments = {});
