#include "base/fatal.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// An allocation that fails while a fatal shutdown is already running (when
// my_fatal returns at once) ends the process instead of handing out null.
TEST(MyMalloc, FailureDuringTheShutdownEndsTheProcess) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reports an impossible allocation itself";
#endif
  EXPECT_EXIT(
      {
        std::atexit([] {
          void* volatile p = my_malloc(~std::size_t{0} / 2);
          std::fprintf(stderr, "my_malloc returned %p\n", p);
        });
        my_fatal("first fatal\n");
      },
      ::testing::ExitedWithCode(1), "first fatal\n$");
}

}  // namespace
