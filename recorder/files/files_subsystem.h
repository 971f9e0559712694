// Files, notes and printing put together: binds their handlers and installs their procedures.
#pragma once

#include "recorder/files/notes_commands.h"
#include "recorder/files/printing.h"
#include "recorder/files/recording_commands.h"
#include "recorder/files/recovery_journal.h"
#include "recorder/files/settings_commands.h"

namespace zetra::files {

class FilesSubsystem {
 public:
  explicit FilesSubsystem(RecorderContext& context)
      : recording(context), settings(context), notes(context), printing(context),
        journal(context), context_(context) {}

  void bind();

  RecordingCommands recording;
  SettingsCommands settings;
  NotesCommands notes;
  Printing printing;
  RecoveryJournal journal;

 private:
  void bind_journal();

  RecorderContext& context_;
};

}  // namespace zetra::files
