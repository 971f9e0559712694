// Undo and Redo over a random walk of the commands that change a recording: after every command,
// Undo brings back the exact earlier recording (arrays to the last bit, counters, view, notes,
// name) and Redo the exact later one; now and then the whole history is walked back and forth.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using platform::MessageAnswer;
using testing::RecorderHarness;

// FNV-1a over everything an undo must bring back.
class Fingerprint {
 public:
  void add(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
  }
  void add(float value) { add(&value, sizeof value); }
  void add(const std::string& text) { add(text.data(), text.size()); add(0.0f); }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

uint64_t fingerprint(RecorderHarness& h) {
  const RecorderState& s = h.state();
  Fingerprint f;
  for (const FloatArray* a : {&s.rec_cur1, &s.rec_cur2, &s.rec_temp1, &s.rec_temp2}) {
    f.add(a->data(), a->size() * sizeof(float));
  }
  for (float v : {s.rec_next, s.rec_capacity, s.shown_count, s.view_start, s.pen_x, s.view_width,
                  s.sample_interval}) {
    f.add(v);
  }
  f.add(h.window()["nt1"].caption);
  f.add(s.file_name);
  f.add(s.window_caption);
  return f.value();
}

class Walk {
 public:
  explicit Walk(RecorderHarness& h) : h_(h), s_(h.state()) {}

  // A selection between two recording positions, halves and both ends included, seen from a
  // view that may start anywhere in the recording.
  void select() {
    const float next = s_.rec_next;
    s_.view_start = pick(3) == 0 ? 1.0f : 1.0f + std::floor(uniform(0, next - 1));
    s_.sel_start = position(next) - s_.view_start;
    s_.sel_end = position(next) - s_.view_start;
  }

  // Chooses the next command and sets up its selection and answers. A recording that has
  // shrunk too far is refilled first, as a recording run would, which ends the history.
  const char* prepare(bool& refilled) {
    h_.dialogs.message_answers.clear();
    refilled = false;
    switch (pick(20)) {
      case 0:
        h_.dialogs.message_answers = {MessageAnswer::Ok};
        return "pcleara";
      case 1:
        h_.dialogs.message_answers = {MessageAnswer::No};  // unsaved: go on without saving
        h_.dialogs.file_answers = {"/nonexistent-zetra/new" + std::to_string(++names_) + ".ztr"};
        return "pnew";
      default:
        if (s_.rec_next < 40) {
          refill();
          s_.history.clear();
          refilled = true;
        }
        select();
        return pick(3) == 0 ? "pcut" : pick(2) == 0 ? "pdelete" : "ppaste";
    }
  }

  // Runs the command; true when it recorded a step.
  bool run(const char* command) {
    const size_t steps = s_.history.undo_steps();
    const size_t redos = s_.history.redo_steps();
    h_.recorder.press(command);
    return s_.history.undo_steps() != steps || s_.history.redo_steps() != redos;
  }

  // A fresh stretch of recording, as acquisition would leave it (not an undoable step).
  void refill() {
    const int n = 200 + pick(600);
    for (int i = 0; i < n; ++i) {
      s_.append(uniform(-5000, 5000), uniform(-5000, 5000), uniform(20, 30), uniform(20, 30));
    }
    s_.shown_count = s_.rec_next;
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

 private:
  float uniform(float a, float b) { return std::uniform_real_distribution<float>(a, b)(random_); }
  float position(float next) {
    switch (pick(8)) {
      case 0: return 1.0f;
      case 1: return next - 1.0f;                      // the newest sample
      case 2: return next - 0.5f;                      // half a sample before the end
      case 3: return next + 0.5f;                      // past the end: nothing acts
      default: return std::floor(uniform(1, next)) + (pick(2) == 0 ? 0.5f : 0.0f);
    }
  }

  RecorderHarness& h_;
  RecorderState& s_;
  std::mt19937 random_{20261207};
  int names_ = 0;
};

TEST(UndoWalk, UndoRestoresTheExactEarlierRecordingAfterEveryCommandAndRedoReplaysIt) {
  RecorderHarness h;
  RecorderState& s = h.state();
  s.allocate(4000);  // a small store keeps thousands of fingerprints cheap
  Walk walk(h);
  walk.refill();
  // Step k of the history (1 ..) led from before[k] to after[k]; the view may move between
  // steps, so after[k] and before[k + 1] may differ in it.
  std::vector<uint64_t> before_step = {0}, after_step = {0};
  size_t at = 0;  // steps 1 .. at are done
  int recorded = 0;

  for (int n = 0; n < 3000; ++n) {
    bool refilled = false;
    const char* command = walk.prepare(refilled);
    if (refilled) at = 0;
    const uint64_t before = fingerprint(h);
    if (!walk.run(command)) {
      // An edit that did not act changes nothing; New or Delete all over an empty recording
      // takes a name or resets the view, which no undo is needed for.
      const bool emptying = std::string(command) == "pnew" || std::string(command) == "pcleara";
      if (!emptying) {
        ASSERT_EQ(fingerprint(h), before) << command << " changed something, " << n;
      }
      continue;
    }
    ++recorded;
    ++at;
    before_step.resize(at);
    after_step.resize(at);
    before_step.push_back(before);
    after_step.push_back(fingerprint(h));
    ASSERT_TRUE(h.recorder.press("pundo")) << n;
    ASSERT_EQ(fingerprint(h), before_step[at]) << "undo after " << command << ", " << n;
    ASSERT_TRUE(h.recorder.press("predo")) << n;
    ASSERT_EQ(fingerprint(h), after_step[at]) << "redo after " << command << ", " << n;

    if (walk.pick(50) == 0) {  // all the way back, then forward again
      for (size_t k = at; k > 0; --k) {
        ASSERT_TRUE(h.recorder.press("pundo"));
        ASSERT_EQ(fingerprint(h), before_step[k]) << "walking back at " << k;
      }
      EXPECT_FALSE(h.recorder.press("pundo")) << "disabled at the start of the history";
      for (size_t k = 1; k <= at; ++k) {
        ASSERT_TRUE(h.recorder.press("predo"));
        ASSERT_EQ(fingerprint(h), after_step[k]) << "walking forward at " << k;
      }
      EXPECT_FALSE(h.recorder.press("predo"));
    } else if (walk.pick(10) == 0) {  // a few steps back; the next command ends their redo
      const size_t back = std::min<size_t>(at, 1 + static_cast<size_t>(walk.pick(4)));
      for (size_t k = 0; k < back; ++k) ASSERT_TRUE(h.recorder.press("pundo"));
      ASSERT_EQ(fingerprint(h), before_step[at - back + 1]);
      at -= back;
    }
  }
  EXPECT_GT(recorded, 1500);
  EXPECT_EQ(s.history.undo_steps(), at);
}

}  // namespace
}  // namespace zetra
