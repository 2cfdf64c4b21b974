#include "platform/message_box.h"

#include "common/general.h"

#include <QApplication>
#include <QMessageBox>

void InstallErrorBox()
{
    SetErrorBox([](const QString& message, const QString& title) {
        QMessageBox::critical(QApplication::activeWindow(), title, message);
    });
}
