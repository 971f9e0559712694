// The store's primitive changes and the history over them: every change taken back leaves the
// arrays exactly as they were, to the last bit and beyond the recorded samples too.
#include "recorder/state/edit_history.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace zetra {
namespace {

// Distinct values everywhere, the slots beyond the recording included.
void fill(RecordingStore& store, float size) {
  store.allocate(size);
  for (size_t i = 0; i < store.rec_cur1.size(); ++i) {
    store.rec_cur1[i] = static_cast<float>(i) + 0.25f;
    store.rec_cur2[i] = -static_cast<float>(i);
    store.rec_temp1[i] = 20 + static_cast<float>(i) / 1000;
    store.rec_temp2[i] = 30 - static_cast<float>(i) / 1000;
  }
}

std::vector<float> contents(const RecordingStore& s) {
  std::vector<float> all;
  for (const FloatArray* a : {&s.rec_cur1, &s.rec_cur2, &s.rec_temp1, &s.rec_temp2}) {
    all.insert(all.end(), a->data(), a->data() + a->size());
  }
  return all;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TraceRun run_of(size_t n, float base) {
  TraceRun run;
  for (size_t i = 0; i < n; ++i) {
    run.cur1.push_back(base + static_cast<float>(i));
    run.cur2.push_back(base - static_cast<float>(i));
    run.temp1.push_back(-base);
    run.temp2.push_back(base / 2);
  }
  return run;
}

TEST(StoreChange, RemoveAndInsertMoveTheSamplesAndTheirUndoingsRestoreEveryBit) {
  RecordingStore s;
  fill(s, 100);
  const std::vector<float> original = contents(s);

  StoreChange undo = s.remove_range(10, 5, 60);  // samples 10..14 of 1..59 go
  EXPECT_EQ(s.rec_cur1[10], 15.25f);
  EXPECT_EQ(s.rec_temp2[54], 30 - 59 / 1000.0f);
  EXPECT_EQ(undo.samples.size(), 5u);
  StoreChange redo = s.apply(std::move(undo));
  EXPECT_TRUE(same_bits(contents(s), original));
  s.apply(std::move(redo));
  EXPECT_EQ(s.rec_cur1[10], 15.25f);

  fill(s, 100);
  const std::vector<float> before_insert = contents(s);
  undo = s.insert_range(1, run_of(7, 500), 40);  // at the very start; the tail 40..46 is overwritten
  EXPECT_EQ(s.rec_cur1[1], 500.0f);
  EXPECT_EQ(s.rec_cur1[8], 1.25f);
  EXPECT_EQ(s.rec_cur1[46], 39.25f);
  const std::vector<float> after_insert = contents(s);
  redo = s.apply(std::move(undo));
  EXPECT_TRUE(same_bits(contents(s), before_insert)) << "the overwritten tail came back";
  s.apply(std::move(redo));
  EXPECT_TRUE(same_bits(contents(s), after_insert));
}

TEST(StoreChange, SwapMovesTheArraysThemselvesBothWays) {
  RecordingStore s;
  fill(s, 100);
  const float* old_data = s.rec_cur1.data();
  StoreChange undo = s.swap_arrays(RecordingStore::fresh_arrays(200000));
  EXPECT_EQ(s.rec_capacity, 200000.0f);
  EXPECT_EQ(s.rec_cur2.size(), 200001u);
  EXPECT_EQ(s.rec_cur1[50], 0.0f);
  EXPECT_EQ(undo.arrays.cur1.data(), old_data);  // kept, not copied
  const float* fresh_data = s.rec_cur1.data();
  StoreChange redo = s.apply(std::move(undo));
  EXPECT_EQ(s.rec_cur1.data(), old_data);
  EXPECT_EQ(s.rec_capacity, 100.0f);
  EXPECT_EQ(s.rec_temp1[50], 20.05f);
  EXPECT_EQ(redo.arrays.cur1.data(), fresh_data);
}

EditStep removal_step(RecordingStore& s, size_t count, float next) {
  EditStep step;
  step.before.rec_next = next;
  step.after.rec_next = next - static_cast<float>(count);
  step.change = s.remove_range(1, count, static_cast<size_t>(next));
  return step;
}

TEST(EditHistory, UndoRedoWalkTheStepsAndANewStepEndsTheRedos) {
  RecordingStore s;
  fill(s, 1000);
  EditHistory history;
  EXPECT_EQ(history.undo(s), nullptr);
  EXPECT_EQ(history.redo(s), nullptr);
  history.record(removal_step(s, 10, 500));
  history.record(removal_step(s, 20, 490));
  EXPECT_EQ(history.undo_steps(), 2u);
  const EditStep* step = history.undo(s);
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->before.rec_next, 490.0f);
  EXPECT_EQ(s.rec_cur1[1], 11.25f);
  step = history.redo(s);
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->after.rec_next, 470.0f);
  EXPECT_EQ(s.rec_cur1[1], 31.25f);
  history.undo(s);
  history.undo(s);
  EXPECT_EQ(s.rec_cur1[1], 1.25f);
  EXPECT_FALSE(history.can_undo());
  EXPECT_EQ(history.redo_steps(), 2u);
  history.record(removal_step(s, 5, 500));
  EXPECT_FALSE(history.can_redo());
  EXPECT_EQ(history.bytes(), 5 * 16u);
  history.clear();
  EXPECT_EQ(history.bytes(), 0u);
  EXPECT_FALSE(history.can_undo());
}

TEST(EditHistory, OverItsBudgetDropsTheOldestStepsButAlwaysKeepsTheNewest) {
  RecordingStore s;
  fill(s, 10000);
  EditHistory history(100 * 16);  // room for 100 removed samples
  history.record(removal_step(s, 40, 9000));
  history.record(removal_step(s, 40, 8960));
  EXPECT_EQ(history.undo_steps(), 2u);
  history.record(removal_step(s, 40, 8920));  // 120 samples: the first step goes
  EXPECT_EQ(history.undo_steps(), 2u);
  EXPECT_EQ(history.bytes(), 80 * 16u);
  history.record(removal_step(s, 500, 8880));  // alone over the budget: only it stays
  EXPECT_EQ(history.undo_steps(), 1u);
  ASSERT_NE(history.undo(s), nullptr);
  EXPECT_EQ(s.rec_cur1[1], 121.25f);  // the samples the last kept step removed
}

}  // namespace
}  // namespace zetra
