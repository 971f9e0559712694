// zetraopen and zetrasave: the settings file read at start-up and written at every exit.
#pragma once

#include "recorder/files/settings_file.h"
#include "recorder/window/recorder_context.h"

namespace zetra::files {

class SettingsCommands {
 public:
  explicit SettingsCommands(RecorderContext& context) : context_(context) {}

  void install();  // as the procedures zetraopen and zetrasave

  // Applies the settings file, when there is a whole one, and allocates the recording store.
  void zetraopen();
  // False when the file could not be written (the user has been told why).
  bool zetrasave();

  std::string path() const;
  SettingsRecord collect() const;

  FaultPlan* faults = nullptr;  // test seam for the writer

 private:
  void apply_scales(const SettingsRecord& r);
  void apply_choices(const SettingsRecord& r);
  void apply_values(const SettingsRecord& r);
  void apply_window(const SettingsRecord& r);

  RecorderContext& context_;
};

}  // namespace zetra::files
