#include "shell_fixture.h"

#include "formats/open_image.h"
#include "formats/ui/open_handler.h"
#include "support/ui/compact_splash.h"
#include "testlib/test_env.h"

#include <gtest/gtest.h>

namespace {

// The program frees the format services when it ends; the suite does the same while the application lives.
class FormatServices : public testing::Environment {
public:
    // Every window built without a picture shows the splash; the suite does not wait for it each time.
    void SetUp() override { TCompactSplash::WaitCeilingMs = 0; }
    void TearDown() override
    {
        FreeOpenImage();
        FreeOpenHandler();
    }
};

const testing::Environment* const kFormatServices = testing::AddGlobalTestEnvironment(new FormatServices);

}  // namespace

QString HolidayPicture()
{
    return TestDataPath("shell/holiday.bmp");
}

std::unique_ptr<TForm1> MakeWindow(const QStringList& arguments)
{
    return std::make_unique<TForm1>(arguments);
}
