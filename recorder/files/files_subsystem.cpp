#include "recorder/files/files_subsystem.h"

#include <sys/stat.h>

#include <utility>

namespace zetra::files {

void FilesSubsystem::bind() {
  recording.bind();
  settings.install();
  notes.bind();
  printing.bind();
  bind_journal();
}

namespace {

// Which file stands at `path`: a successful save puts a new one there (written beside, renamed).
std::pair<dev_t, ino_t> file_identity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {0, 0};
  return {info.st_dev, info.st_ino};
}

}  // namespace

// The journal is removed by a Save that wrote the recording and by an answered exit (zetrasave
// runs only then); a redraw, which ends every edit, has it check the samples it holds.
void FilesSubsystem::bind_journal() {
  WindowModel& window = context_.window;
  Procedures& procedures = context_.procedures;
  const auto saving = [this](auto command) {
    return [this, command] {
      const std::string before = context_.state.file_name;
      const auto identity = file_identity(before);
      command();
      const std::string& now = context_.state.file_name;
      if (now != before || (!now.empty() && file_identity(now) != identity)) journal.discard();
    };
  };
  window.on("psave", saving([this] { recording.save(); }));
  window.on("csave", saving([this] { recording.save(); }));
  window.on("psaveas", saving([this] { recording.save_as(); }));
  procedures.save_recording = [this] {
    const std::string name = context_.state.file_name;
    const auto identity = file_identity(name);
    const bool ok = recording.save();
    if (ok && !name.empty() && file_identity(name) != identity) journal.discard();
    return ok;
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
