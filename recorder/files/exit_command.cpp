#include "recorder/files/exit_command.h"

#include "recorder/files/recording_commands.h"

namespace zetra::files {

using platform::MessageAnswer;

void bind_exit(RecorderContext& context, RecordingCommands& recording) {
  context.window.on("pexit", [&context, &recording] {
    const MessageAnswer answer = context.platform.dialogs.message_box(
        "Save data before exit?", "Exit Zetra", platform::MessageIcon::Question,
        platform::MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No) return;
    if (answer == MessageAnswer::Yes) {
      recording.last_save_failed = false;
      Procedures::call(context.procedures.save_recording);
      // A recording that could not be saved keeps the program open; the message said why.
      if (recording.last_save_failed) return;
    }
    Procedures::call(context.procedures.zetrasave);
    Procedures::call(context.procedures.end_program);
  });
}

}  // namespace zetra::files
