#include "recorder/files/files_subsystem.h"

#include "recorder/files/exit_command.h"

namespace zetra::files {

void FilesSubsystem::bind() {
  recording.bind();
  settings.install();
  notes.bind();
  printing.bind();
  bind_exit(context_, recording);
}

}  // namespace zetra::files
