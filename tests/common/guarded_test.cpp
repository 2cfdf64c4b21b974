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

TEST(Guarded, CompanionsAnswerTheFallbackOrRecordTheText)
{
    EXPECT_EQ(GuardedOr(7, [] { return 3; }), 3);
    EXPECT_EQ(GuardedOr(7, []() -> int { throw std::bad_alloc(); }), 7);

    QString failure = kUnknownFormat;
    EXPECT_TRUE(GuardedInto(failure, [] { return true; }));
    EXPECT_FALSE(GuardedInto(failure, [] { return false; }));
    EXPECT_EQ(failure, kUnknownFormat);  // a plain false leaves the text the work set
    EXPECT_FALSE(GuardedInto(failure, []() -> bool { throw std::bad_alloc(); }));
    EXPECT_EQ(failure, kOutOfMemory);
}
