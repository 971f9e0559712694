// Copy, Cut, Paste, Delete and Delete all over the chart selection, the internal copy buffer, and
// Copy Wave Graph; as the buttons and the Edit menu items that run them.
#pragma once

#include "platform/surface.h"
#include "recorder/analysis/walk.h"
#include "recorder/window/recorder_context.h"

namespace zetra::analysis {

class EditOperations {
 public:
  // `chart` is the chart's surface for Copy Wave Graph; without one that command does nothing.
  EditOperations(RecorderContext& context, platform::Surface* chart)
      : context_(context), chart_(chart) {}

  // Binds ccut, ccopy, cpaste, cdeleta and the Edit menu items pcut .. pcleara.
  void bind();

  // Each returns whether it acted (the selection was valid and the preconditions held).
  bool copy();
  bool cut();
  bool paste();
  bool delete_selection();
  void delete_all();
  void copy_wave_graph();

 private:
  // Both edges inside the recording (compared with rec_next, not with the chart's count).
  bool valid_selection() const;
  // The samples Copy takes for the selection, and the recording position of the first of them.
  IndexRun selected_samples(float& first_position) const;
  StoreChange remove(IndexRun run);
  void record(RecordingSnapshot before, StoreChange undo);
  void follow_up();
  void show_busy(bool busy);

  RecorderContext& context_;
  platform::Surface* chart_;
};

}  // namespace zetra::analysis
