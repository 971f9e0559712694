// The program's command line: zetra [--help] [--version] [FILE.ztr].
#pragma once

#include <QString>
#include <QStringList>

namespace zetra::ui {

struct StartOptions {
  enum class Action { Run, Help, Version, Error };
  Action action = Action::Run;
  QString file;    // absolute path of the recording to open after start-up; empty for none
  QString output;  // what Help, Version and Error print before the program ends
};

// `arguments` as QCoreApplication::arguments() gives them, the program name first.
StartOptions read_command_line(const QStringList& arguments);

}  // namespace zetra::ui
