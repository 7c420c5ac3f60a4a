// A stand-in for the endgame-bitbase library: it records the arguments of its
// two entry points and answers probes from a table the test fills.
#include <cstring>

namespace {
constexpr int kMaxAnswers = 16;
struct Answer {
  int args[9];
  int value;
};
Answer Answers[kMaxAnswers];
int AnswerCount = 0;
char LoadPath[512];
int LoadCache = -1;
int LoadOptions = -1;
int LoadCalls = 0;
int LastProbe[9];
int ProbeCalls = 0;
}  // namespace

extern "C" {

void load_egbb_5men(const char* path, int cache_bytes, int load_options) {
  std::strncpy(LoadPath, path, sizeof LoadPath - 1);
  LoadCache = cache_bytes;
  LoadOptions = load_options;
  ++LoadCalls;
}

int probe_egbb_5men(int side, int white_king, int black_king, int piece1, int square1, int piece2, int square2,
                    int piece3, int square3) {
  const int args[9] = {side, white_king, black_king, piece1, square1, piece2, square2, piece3, square3};
  std::memcpy(LastProbe, args, sizeof args);
  ++ProbeCalls;
  for (int i = 0; i < AnswerCount; ++i)
    if (std::memcmp(Answers[i].args, args, sizeof args) == 0) return Answers[i].value;
  return 99999;
}

// Test controls.
void fake_egbb_reset() {
  AnswerCount = 0;
  LoadPath[0] = '\0';
  LoadCache = LoadOptions = -1;
  LoadCalls = ProbeCalls = 0;
  std::memset(LastProbe, 0, sizeof LastProbe);
}
void fake_egbb_add_answer(const int* args, int value) {
  if (AnswerCount == kMaxAnswers) return;
  std::memcpy(Answers[AnswerCount].args, args, sizeof Answers[0].args);
  Answers[AnswerCount++].value = value;
}
const char* fake_egbb_load_path() { return LoadPath; }
int fake_egbb_load_cache() { return LoadCache; }
int fake_egbb_load_options() { return LoadOptions; }
int fake_egbb_load_calls() { return LoadCalls; }
const int* fake_egbb_last_probe() { return LastProbe; }
int fake_egbb_probe_calls() { return ProbeCalls; }
}
