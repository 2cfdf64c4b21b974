// The kinds of file a page prints into, by the name's extension (the command line's tests read the rest).
#include "engine/print_file.h"

#include <gtest/gtest.h>

TEST(PrintFile, KindByExtensionInAnyLetterCase)
{
    EXPECT_TRUE(CanPrintToFile("page.PNG"));
    EXPECT_TRUE(CanPrintToFile("folder.pdf/page.Jpeg"));
    for (const char* name : {"page", "pdf", "page.pdf.txt", "page.xyz"})
        EXPECT_FALSE(CanPrintToFile(name)) << name;
    // A PDF page is the one kind that is no image format.
    EXPECT_EQ(PageFormatOf("b.PDF")->QtFormat, nullptr);
    EXPECT_STREQ(PageFormatOf("b.tiff")->QtFormat, "tiff");
}
