#include "chess/egbb.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/option.h"
#include "chess/trans.h"
#include "chess_test_util.h"
#include "platform/library.h"
#include "uci/engine_init.h"

namespace {

const std::string kFakeDir = QUORREL_FAKE_EGBB_DIR;

// The test's own reference to the stand-in library: the same loaded image as
// the engine's, so its recorded arguments can be read back.
class EgbbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = platform_library_open((kFakeDir + EGBB_LIBRARY_NAME).c_str());
    ASSERT_NE(handle_, nullptr);
    reinterpret_cast<void (*)()>(symbol("fake_egbb_reset"))();
  }
  void TearDown() override {
    egbb_unload();
    platform_library_close(handle_);
  }
  void* symbol(const char* name) {
    void* address = platform_library_symbol(handle_, name);
    EXPECT_NE(address, nullptr) << name;
    return address;
  }
  int control(const char* name) { return reinterpret_cast<int (*)()>(symbol(name))(); }
  const char* load_path() { return reinterpret_cast<const char* (*)()>(symbol("fake_egbb_load_path"))(); }
  const int* last_probe() { return reinterpret_cast<const int* (*)()>(symbol("fake_egbb_last_probe"))(); }
  void add_answer(const int (&args)[9], int value) {
    reinterpret_cast<void (*)(const int*, int)>(symbol("fake_egbb_add_answer"))(args, value);
  }

  // Failed load: nothing loaded, and a probe never reaches the library.
  void expect_no_bitbases() {
    EXPECT_FALSE(egbb_loaded);
    auto board = board_from("8/8/8/8/8/8/4KR2/k7 w - - 0 1");
    int value = 0;
    EXPECT_FALSE(egbb_probe(*board, &value));
    EXPECT_EQ(control("fake_egbb_probe_calls"), 0);
  }
  void expect_last_probe(const int (&args)[9]) {
    for (int i = 0; i < 9; ++i) EXPECT_EQ(last_probe()[i], args[i]) << "argument " << i;
  }

  platform_library_t handle_ = nullptr;
};

// A directory name of the wanted total file-name length that still names the
// stand-in library's directory ("././.../dir/").
std::string padded_dir(size_t file_name_length) {
  const size_t base = kFakeDir.size() + sizeof EGBB_LIBRARY_NAME - 1;
  std::string prefix;
  if ((file_name_length - base) % 2 == 1) prefix = "/";
  while (prefix.size() + base < file_name_length) prefix = "./" + prefix;
  std::string dir = kFakeDir;
  dir.insert(1, prefix);  // after the leading '/', keeping the path absolute
  return dir;
}

TEST_F(EgbbTest, MissingLibraryIsAFailedLoad) {
  EXPECT_FALSE(egbb_load("/nonexistent-bitbases/", egbb_cache_bytes(16)));
  expect_no_bitbases();
}

TEST_F(EgbbTest, LoadPassesPathUnchangedCacheBytesAndOne) {
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(16)));
  EXPECT_TRUE(egbb_loaded);
  EXPECT_EQ(control("fake_egbb_load_calls"), 1);
  EXPECT_EQ(std::string(load_path()), kFakeDir);
  EXPECT_EQ(control("fake_egbb_load_cache"), 16 << 20);
  EXPECT_EQ(control("fake_egbb_load_options"), 1);
}

TEST_F(EgbbTest, CacheBytesAreComputedIn64BitsAndCappedForTheEntryPoint) {
  EXPECT_EQ(egbb_cache_bytes(1024), int64_t{1} << 30);
  EXPECT_EQ(egbb_cache_bytes(4096), int64_t{1} << 32);
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(4096)));
  EXPECT_EQ(control("fake_egbb_load_cache"), INT_MAX);
}

TEST_F(EgbbTest, FileNameLongerThan255CharactersIsAFailedLoad) {
  const std::string fits = padded_dir(255);
  ASSERT_EQ(fits.size() + sizeof EGBB_LIBRARY_NAME - 1, 255u);
  EXPECT_TRUE(egbb_load(fits.c_str(), egbb_cache_bytes(16)));

  const std::string too_long = padded_dir(256);
  ASSERT_EQ(too_long.size() + sizeof EGBB_LIBRARY_NAME - 1, 256u);
  EXPECT_FALSE(egbb_load(too_long.c_str(), egbb_cache_bytes(16)));
  expect_no_bitbases();
}

TEST_F(EgbbTest, ReloadFromAWrongPathLeavesNoBitbases) {
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(16)));
  EXPECT_FALSE(egbb_load("/nonexistent-bitbases/", egbb_cache_bytes(16)));
  expect_no_bitbases();
}

TEST_F(EgbbTest, ProbeArgumentsFollowPieceOrderAndCodes) {
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(16)));
  int value = 0;

  // KRPK, white to move: rook (3) on d1 = 3, pawn (6) on e4 = 28, third slot empty.
  auto krpk = board_from("7k/8/8/8/4P3/8/8/3R2K1 w - - 0 1");
  const int krpk_args[9] = {0, 6, 63, 3, 3, 6, 28, 0, 0};
  add_answer(krpk_args, 5123);
  EXPECT_TRUE(egbb_probe(*krpk, &value));
  EXPECT_EQ(value, 5123);
  expect_last_probe(krpk_args);

  // White pieces, then white pawns, then black pieces and pawns; black to move.
  auto mixed = board_from("8/8/3k4/2b5/8/8/1P6/1N2K3 b - - 0 1");
  EXPECT_FALSE(egbb_probe(*mixed, &value));  // not in the table: 99999
  const int mixed_args[9] = {1, 4, 43, 5, 1, 6, 9, 10, 34};
  expect_last_probe(mixed_args);

  auto queens = board_from("8/8/3k4/8/8/2q5/1p6/1Q2K3 w - - 0 1");
  EXPECT_FALSE(egbb_probe(*queens, &value));
  const int queens_args[9] = {0, 4, 43, 2, 1, 8, 18, 12, 9};
  expect_last_probe(queens_args);
}

TEST_F(EgbbTest, PositionWithMoreThanThreeNonKingPiecesIsNotProbed) {
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(16)));
  auto board = board_from("8/8/3k4/2b5/8/8/1PP5/1N2K3 w - - 0 1");
  int value = 0;
  EXPECT_FALSE(egbb_probe(*board, &value));
  EXPECT_EQ(control("fake_egbb_probe_calls"), 0);
}

TEST_F(EgbbTest, ProbedWinLoses40PerPlyFromTheRoot) {
  ASSERT_TRUE(egbb_load(kFakeDir.c_str(), egbb_cache_bytes(16)));
  auto board = board_from("7k/8/8/8/4P3/8/8/3R2K1 w - - 0 1");
  const int args[9] = {0, 6, 63, 3, 3, 6, 28, 0, 0};
  add_answer(args, 5000);
  int value = 0;
  ASSERT_TRUE(egbb_probe(*board, &value));
  EXPECT_EQ(value_from_table(value, 3), 5000 - 3 * 40);
  EXPECT_EQ(value_from_table(-value, 3), -5000 + 3 * 40);
}

TEST_F(EgbbTest, OptionsReloadAndReportFailureOnStandardOutput) {
  option_reset_all();
  option_set_value("Bitbases Path", kFakeDir.c_str());
  option_set_value("Bitbases Cache Size", "32");
  ::testing::internal::CaptureStdout();
  engine_reload_bitbases();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(egbb_loaded);
  EXPECT_EQ(control("fake_egbb_load_cache"), 32 << 20);

  option_set_value("Bitbases Path", "/nonexistent-bitbases/");
  ::testing::internal::CaptureStdout();
  engine_reload_bitbases();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "EgbbProbe not Loaded!\n");
  EXPECT_FALSE(egbb_loaded);
  option_reset_all();
}

}  // namespace
