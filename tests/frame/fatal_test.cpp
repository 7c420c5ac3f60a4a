#include "frame/fatal.h"

#include <gtest/gtest.h>

TEST(MyMalloc, ReturnsUsableMemory) {
  auto* p = static_cast<char*>(my_malloc(64));
  ASSERT_NE(p, nullptr);
  p[63] = 1;
  free(p);
}
