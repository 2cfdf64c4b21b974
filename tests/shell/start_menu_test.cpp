#include "shell/start_menu.h"

#include <gtest/gtest.h>

namespace {

// The desktop reads Exec= as an escaped string first and as a quoted command line second, so characters that
// are special to either must survive both.
TEST(DesktopEntry, ExecQuotesThePathForBothUnescapingSteps)
{
    const QString text = DesktopEntryText("/opt/my apps/$HOME\"x\\y%z/Pictavo");
    EXPECT_TRUE(text.contains("\nExec=\"/opt/my apps/\\\\$HOME\\\\\"x\\\\\\\\y%%z/Pictavo\" %f\n")) << text.toStdString();
}

TEST(DesktopEntry, NamesTheProgramInTheGraphicsCategory)
{
    const QString text = DesktopEntryText("/tmp/Pictavo");
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    for (const char* line : {"Type=Application", "Name=Pictavo", "Categories=Graphics;", "Exec=\"/tmp/Pictavo\" %f"})
        EXPECT_TRUE(text.contains(QString("\n") + line + "\n")) << line;
}

}  // namespace
