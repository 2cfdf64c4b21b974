#include "common/guarded.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Guarded, NamesWhatStoppedTheWorkAndLetsNothingEscape)
{
    bool ran = false;
    EXPECT_TRUE(Guarded([&] { ran = true; }).isEmpty());
    EXPECT_TRUE(ran);
    EXPECT_EQ(Guarded([] { throw std::bad_alloc(); }), kOutOfMemory);
    EXPECT_EQ(Guarded([] { throw std::runtime_error("Stream write failure"); }), kStreamWriteFailure);
    EXPECT_EQ(Guarded([] { throw 1; }), kUnexpectedError);
}
