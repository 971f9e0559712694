#include "recorder/files/files_subsystem.h"

namespace zetra::files {

void FilesSubsystem::bind() {
  recording.bind();
  settings.install();
  notes.bind();
  printing.bind();
}

}  // namespace zetra::files
