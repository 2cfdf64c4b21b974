#include "common/services.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    InitServices();
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Pictavo");
    window.resize(430, 374);
    window.show();
    const int status = app.exec();
    EndProcess(status);
}
