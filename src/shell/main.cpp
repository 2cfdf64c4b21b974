#include "common/services.h"
#include "platform/message_box.h"
#include "shell/main_window.h"

#include <QApplication>

// Never returns normally: every way out of the window goes through TForm1::Shutdown, which ends the process.
int main(int argc, char** argv)
{
    InitServices();
    QApplication app(argc, argv);
    InstallErrorBox();
    TForm1 window(QApplication::arguments().mid(1));
    window.show();
    const int status = QApplication::exec();
    EndProcess(status);
}
