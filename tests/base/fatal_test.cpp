#include "base/fatal.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(MyFatal, EndsWithExitCodeOneAndItsMessageOnStandardError) {
  EXPECT_EXIT(my_fatal("board_from_fen(): bad FEN (pos=%d)\n", 3), ::testing::ExitedWithCode(1),
              "board_from_fen\\(\\): bad FEN \\(pos=3\\)");
}

TEST(MyFatal, SecondFatalDuringTheShutdownDoesNotRecurse) {
  EXPECT_EXIT(
      {
        std::atexit([] { my_fatal("second fatal\n"); });
        my_fatal("first fatal\n");
      },
      ::testing::ExitedWithCode(1), "first fatal\n$");
}

TEST(MyMalloc, ReturnsUsableMemory) {
  auto* p = static_cast<char*>(my_malloc(64));
  ASSERT_NE(p, nullptr);
  p[63] = 1;
  std::free(p);
}

}  // namespace
