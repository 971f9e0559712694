#include "recorder/state/recording_store.h"

#include <algorithm>
#include <array>
#include <utility>

#include "recorder/numbers/number_format.h"

namespace zetra {
namespace {

std::array<FloatArray*, 4> traces(RecordingStore& s) {
  return {&s.rec_cur1, &s.rec_cur2, &s.rec_temp1, &s.rec_temp2};
}

std::array<std::vector<float>*, 4> traces(TraceRun& run) {
  return {&run.cur1, &run.cur2, &run.temp1, &run.temp2};
}

std::array<const std::vector<float>*, 4> traces(const TraceRun& run) {
  return {&run.cur1, &run.cur2, &run.temp1, &run.temp2};
}

// Samples from..to - 1 of each trace.
TraceRun copy_run(RecordingStore& store, size_t from, size_t to) {
  TraceRun run;
  const auto arrays = traces(store);
  const auto parts = traces(run);
  for (size_t t = 0; t < 4; ++t) parts[t]->assign(arrays[t]->data() + from, arrays[t]->data() + to);
  return run;
}

void put_run(RecordingStore& store, const TraceRun& run, size_t at) {
  const auto arrays = traces(store);
  const auto parts = traces(run);
  for (size_t t = 0; t < 4; ++t) std::copy(parts[t]->begin(), parts[t]->end(), arrays[t]->data() + at);
}

}  // namespace

size_t StoreChange::bytes(size_t live_end) const {
  if (kind != Kind::Swap) return samples.bytes() + displaced.bytes();
  return 4 * sizeof(float) * std::min(live_end, arrays.cur1.size());
}

StoreChange RecordingStore::remove_range(size_t first, size_t count, size_t end) {
  StoreChange undo;
  undo.kind = StoreChange::Kind::Insert;
  undo.first = first;
  undo.count = count;
  undo.end = end - count;
  undo.samples = copy_run(*this, first, first + count);
  for (FloatArray* trace : traces(*this)) {
    std::copy(trace->data() + first + count, trace->data() + end, trace->data() + first);
  }
  return undo;
}

StoreChange RecordingStore::insert_range(size_t first, TraceRun run, size_t end) {
  const size_t count = run.size();
  StoreChange undo;
  undo.kind = StoreChange::Kind::Remove;
  undo.first = first;
  undo.count = count;
  undo.end = end + count;
  undo.displaced = copy_run(*this, end, end + count);
  for (FloatArray* trace : traces(*this)) {
    float* data = trace->data();
    std::copy_backward(data + first, data + end, data + end + count);
  }
  put_run(*this, run, first);
  return undo;
}

StoreChange RecordingStore::swap_arrays(TraceArrays arrays) {
  StoreChange undo;
  undo.kind = StoreChange::Kind::Swap;
  std::swap(undo.arrays.cur1, rec_cur1);
  std::swap(undo.arrays.cur2, rec_cur2);
  std::swap(undo.arrays.temp1, rec_temp1);
  std::swap(undo.arrays.temp2, rec_temp2);
  undo.arrays.capacity = rec_capacity;
  rec_cur1 = std::move(arrays.cur1);
  rec_cur2 = std::move(arrays.cur2);
  rec_temp1 = std::move(arrays.temp1);
  rec_temp2 = std::move(arrays.temp2);
  rec_capacity = arrays.capacity;
  held.clear();
  return undo;
}

StoreChange RecordingStore::apply(StoreChange change) {
  switch (change.kind) {
    case StoreChange::Kind::Insert:
      return insert_range(change.first, std::move(change.samples), change.end);
    case StoreChange::Kind::Remove: {
      StoreChange undo = remove_range(change.first, change.count, change.end);
      // The run moved down over the end; what lay there before the insert comes back.
      put_run(*this, change.displaced, change.end - change.count);
      return undo;
    }
    case StoreChange::Kind::Swap:
      return swap_arrays(std::move(change.arrays));
    case StoreChange::Kind::None:
      break;
  }
  return {};
}

TraceArrays RecordingStore::fresh_arrays(float size) {
  TraceArrays arrays;
  const auto elements = static_cast<size_t>(numbers::round_half_even(size)) + 1;
  for (FloatArray* trace : {&arrays.cur1, &arrays.cur2, &arrays.temp1, &arrays.temp2}) {
    trace->reset(elements);
  }
  arrays.capacity = size;
  return arrays;
}

}  // namespace zetra
