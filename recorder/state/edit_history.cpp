#include "recorder/state/edit_history.h"

#include <utility>

#include "recorder/numbers/number_format.h"

namespace zetra {
namespace {

size_t live_end(float rec_next) {
  const int64_t end = numbers::round_half_even(rec_next);
  return end > 0 ? static_cast<size_t>(end) : 0;
}

}  // namespace

// Swapped arrays count only up to the recording they held: zero pages never touched cost nothing.
size_t EditStep::bytes() const {
  const RecordingSnapshot& held = change.kind == StoreChange::Kind::Swap ? before : after;
  return change.bytes(live_end(held.rec_next) + 1) + before.notes.size() + after.notes.size() +
         before.held.bytes() + after.held.bytes();
}

void EditHistory::record(EditStep step) {
  for (const EditStep& dropped : redo_) bytes_ -= dropped.bytes();
  redo_.clear();
  bytes_ += step.bytes();
  undo_.push_back(std::move(step));
  trim();
}

void EditHistory::trim() {
  while (bytes_ > budget_ && undo_.size() > 1) {
    bytes_ -= undo_.front().bytes();
    undo_.pop_front();
  }
}

const EditStep* EditHistory::undo(RecordingStore& store) {
  if (undo_.empty()) return nullptr;
  EditStep step = std::move(undo_.back());
  undo_.pop_back();
  bytes_ -= step.bytes();
  step.change = store.apply(std::move(step.change));
  bytes_ += step.bytes();
  redo_.push_back(std::move(step));
  return &redo_.back();
}

const EditStep* EditHistory::redo(RecordingStore& store) {
  if (redo_.empty()) return nullptr;
  EditStep step = std::move(redo_.back());
  redo_.pop_back();
  bytes_ -= step.bytes();
  step.change = store.apply(std::move(step.change));
  bytes_ += step.bytes();
  undo_.push_back(std::move(step));
  trim();
  return &undo_.back();
}

void EditHistory::clear() {
  undo_.clear();
  redo_.clear();
  bytes_ = 0;
}

}  // namespace zetra
