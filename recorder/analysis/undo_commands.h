// Undo and Redo of the Edit menu (pundo, predo) over the recording's edit history.
#pragma once

#include "recorder/window/recorder_context.h"

namespace zetra::analysis {

class UndoCommands {
 public:
  explicit UndoCommands(RecorderContext& context) : context_(context) {}

  // Binds pundo and predo and installs show_history.
  void bind();

  // Each returns whether a step was taken back or made again.
  bool undo();
  bool redo();
  // Undo and Redo are enabled while there is a step for them and no recording runs.
  void show_history();

 private:
  void show(const RecordingSnapshot& shot, const RecordingSnapshot& other);

  RecorderContext& context_;
};

}  // namespace zetra::analysis
