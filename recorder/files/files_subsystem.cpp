#include "recorder/files/files_subsystem.h"

namespace zetra::files {

void FilesSubsystem::bind() {
  recording.bind();
  settings.install();
  notes.bind();
  printing.bind();
  bind_journal();
}

// The journal goes when the recording is safe: written to a file, or the user answered the exit
// question (zetrasave runs only then). A redraw, which ends every edit, has it check its samples.
void FilesSubsystem::bind_journal() {
  Procedures& procedures = context_.procedures;
  recording.on_written = [this] { journal.discard(); };
  journal.on_recovered = [this](const std::string& name, const FileIdentity& identity) {
    recording.adopt_recovered(name, identity);
  };
  procedures.zetrasave = [this] {
    settings.zetrasave();
    journal.discard();
  };
  for (Procedures::Procedure* procedure : {&procedures.r_line, &procedures.clsp1}) {
    *procedure = [this, inner = *procedure] {
      journal.note_redraw();
      Procedures::call(inner);
    };
  }
}

}  // namespace zetra::files
