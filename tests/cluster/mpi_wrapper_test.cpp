#include "cluster/mpi_wrapper.h"
#include "mpi_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class MpiPacking : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_mpi_for_tests(); }
  char buffer_[kPackBufferSize] = {};
  int32_t position_ = 0;
};

TEST_F(MpiPacking, ScalarsRoundTrip) {
  ASSERT_EQ(MPIWrapper_Pack_INT(-123456, buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_INT64(-(int64_t{1} << 40), buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_UINT64(0xFEDCBA9876543210ull, buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_DOUBLE(2.5, buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_BOOL(5, buffer_, &position_), MPI_SUCCESS);
  const int32_t used = position_;

  int32_t read_position = 0;
  int32_t i = 0;
  int64_t i64 = 0;
  uint64_t u64 = 0;
  double d = 0;
  int32_t b = 7;
  EXPECT_EQ(MPIWrapper_Unpack_INT(buffer_, &read_position, &i), MPI_SUCCESS);
  EXPECT_EQ(MPIWrapper_Unpack_INT64(buffer_, &read_position, &i64), MPI_SUCCESS);
  EXPECT_EQ(MPIWrapper_Unpack_UINT64(buffer_, &read_position, &u64), MPI_SUCCESS);
  EXPECT_EQ(MPIWrapper_Unpack_DOUBLE(buffer_, &read_position, &d), MPI_SUCCESS);
  EXPECT_EQ(MPIWrapper_Unpack_BOOL(buffer_, &read_position, &b), MPI_SUCCESS);
  EXPECT_EQ(i, -123456);
  EXPECT_EQ(i64, -(int64_t{1} << 40));
  EXPECT_EQ(u64, 0xFEDCBA9876543210ull);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(b, 1);  // any non-zero value travels as 1
  EXPECT_EQ(read_position, used);
}

TEST_F(MpiPacking, EmptyStringAndEmptyArrayPackOnlyTheirCount) {
  ASSERT_EQ(MPIWrapper_Pack_STR("", buffer_, &position_), MPI_SUCCESS);
  EXPECT_EQ(position_, 4);
  ASSERT_EQ(MPIWrapper_Pack_USHORT_ARRAY(0, nullptr, buffer_, &position_), MPI_SUCCESS);
  EXPECT_EQ(position_, 8);

  int32_t read_position = 0;
  char text[16];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(MPIWrapper_Unpack_STR(buffer_, &read_position, text, sizeof text), MPI_SUCCESS);
  EXPECT_STREQ(text, "");
  uint16_t values[4] = {9, 9, 9, 9};
  int32_t count = 5;
  EXPECT_EQ(MPIWrapper_Unpack_USHORT_ARRAY(buffer_, &read_position, &count, values, 4), MPI_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(values[0], 9);  // untouched
}

TEST_F(MpiPacking, StringsAndArraysRoundTrip) {
  const uint16_t moves[3] = {0x0C1C, 11, 0xB000};
  ASSERT_EQ(MPIWrapper_Pack_STR("position startpos moves e2e4", buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_USHORT_ARRAY(3, moves, buffer_, &position_), MPI_SUCCESS);
  int32_t read_position = 0;
  char text[64];
  uint16_t values[8] = {};
  int32_t count = 0;
  EXPECT_EQ(MPIWrapper_Unpack_STR(buffer_, &read_position, text, sizeof text), MPI_SUCCESS);
  EXPECT_STREQ(text, "position startpos moves e2e4");
  EXPECT_EQ(MPIWrapper_Unpack_USHORT_ARRAY(buffer_, &read_position, &count, values, 8), MPI_SUCCESS);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(values[0], 0x0C1C);
  EXPECT_EQ(values[2], 0xB000);
}

TEST_F(MpiPacking, CountsFromAMessageNeverOverrunTheReceiver) {
  const uint16_t moves[10] = {};
  ASSERT_EQ(MPIWrapper_Pack_STR("a longer text than the receiver holds", buffer_, &position_), MPI_SUCCESS);
  ASSERT_EQ(MPIWrapper_Pack_USHORT_ARRAY(10, moves, buffer_, &position_), MPI_SUCCESS);
  int32_t read_position = 0;
  char text[8] = "keep";
  EXPECT_NE(MPIWrapper_Unpack_STR(buffer_, &read_position, text, sizeof text), MPI_SUCCESS);
  EXPECT_STREQ(text, "keep");

  read_position = 0;
  MPIWrapper_Pack_INT(-3, buffer_, &read_position);  // a negative count is refused too
  read_position = 0;
  uint16_t values[4] = {};
  int32_t count = 0;
  EXPECT_NE(MPIWrapper_Unpack_USHORT_ARRAY(buffer_, &read_position, &count, values, 4), MPI_SUCCESS);
}

TEST_F(MpiPacking, ExactlyFullBufferPacksAndOneMoreByteFails) {
  std::vector<char> text(kPackBufferSize - 4, 'a');
  text.push_back('\0');
  EXPECT_EQ(MPIWrapper_Pack_STR(text.data(), buffer_, &position_), MPI_SUCCESS);
  EXPECT_EQ(position_, kPackBufferSize);
  position_ = 0;
  text.back() = 'a';
  text.push_back('\0');
  EXPECT_NE(MPIWrapper_Pack_STR(text.data(), buffer_, &position_), MPI_SUCCESS);
}

TEST_F(MpiPacking, UnpackPastTheEndFailsAndLeavesTheValue) {
  int32_t read_position = kPackBufferSize - 2;
  int32_t value = 42;
  EXPECT_NE(MPIWrapper_Unpack_INT(buffer_, &read_position, &value), MPI_SUCCESS);
  EXPECT_EQ(value, 42);
}

}  // namespace
