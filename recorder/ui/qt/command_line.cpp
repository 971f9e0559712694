#include "recorder/ui/qt/command_line.h"

#include <QFileInfo>

#include "recorder/ui/qt/about.h"

namespace zetra::ui {
namespace {

// Read before any window exists, so that --help and --version work without a display.
QString help_text() {
  return QStringLiteral(
      "Usage: zetra [OPTION] [FILE]\n"
      "Recorder for the ZetraII two-channel electrochemical meter.\n"
      "FILE (a .ztr recording) is opened after the settings have been read, as File > Open\n"
      "would open it.\n"
      "\n"
      "  -h, --help     show this help and end\n"
      "  -v, --version  show the program's version and end\n");
}

StartOptions ending(StartOptions::Action action, const QString& output) {
  StartOptions options;
  options.action = action;
  options.output = output;
  return options;
}

}  // namespace

StartOptions read_command_line(const QStringList& arguments) {
  QStringList files;
  bool options_end = false;
  for (qsizetype k = 1; k < arguments.size(); ++k) {
    const QString& argument = arguments[k];
    if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && (argument == "-h" || argument == "--help" || argument == "-?")) {
      return ending(StartOptions::Action::Help, help_text());
    } else if (!options_end && (argument == "-v" || argument == "--version")) {
      return ending(StartOptions::Action::Version,
                    QString("%1 %2\n").arg(kProgramName,
                                           QString::fromStdString(program_version())));
    } else if (!options_end && argument.startsWith('-') && argument.size() > 1) {
      return ending(StartOptions::Action::Error,
                    "zetra: unknown option " + argument + "\n" + help_text());
    } else {
      files.push_back(argument);
    }
  }
  if (files.size() > 1) {
    return ending(StartOptions::Action::Error,
                  "zetra: one recording at a time, not " + QString::number(files.size()) + "\n" +
                      help_text());
  }
  StartOptions options;
  if (!files.isEmpty()) options.file = QFileInfo(files.front()).absoluteFilePath();
  return options;
}

}  // namespace zetra::ui
