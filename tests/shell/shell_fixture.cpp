#include "shell_fixture.h"

#include "testlib/test_env.h"

QString HolidayPicture()
{
    return TestDataPath("shell/holiday.bmp");
}

std::unique_ptr<TForm1> MakeWindow(const QStringList& arguments)
{
    return std::make_unique<TForm1>(arguments);
}
