#include "platform/message_box.h"

#include "common/general.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace {

// Wide enough for its title (window managers cut long titles short) and for a file's name on one line, within
// half the screen.
int MessageWidth(const QMessageBox& box, const QString& message, const QString& title)
{
    const QFontMetrics metrics(box.font());
    int widest = metrics.horizontalAdvance(title) + 120;
    for (const QString& line : message.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const QScreen* screen = box.screen();
    const int limit = screen ? screen->availableGeometry().width() / 2 : 800;
    return std::clamp(widest, 240, std::max(240, limit));
}

}  // namespace

void InstallErrorBox()
{
    SetErrorBox([](const QString& message, const QString& title) {
        QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok, QApplication::activeWindow());
        box.setObjectName("ErrorBox");
        box.setStyleSheet(QString("QLabel#qt_msgbox_label { min-width: %1px; }")
                              .arg(MessageWidth(box, message, title)));
        box.exec();
    });
}
