#include "recorder/files/exit_command.h"

#include "recorder/files/recording_commands.h"
#include "recorder/files/settings_commands.h"

namespace zetra::files {

using platform::MessageAnswer;

void bind_exit(RecorderContext& context, RecordingCommands& recording, SettingsCommands& settings) {
  context.window.on("pexit", [&context, &recording, &settings] {
    const MessageAnswer answer = context.platform.dialogs.message_box(
        "Save data before exit?", "Exit Zetra", platform::MessageIcon::Question,
        platform::MessageButtons::YesNoCancel);
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No) return;
    // A recording that could not be saved keeps the program open; the message said why.
    if (answer == MessageAnswer::Yes && !recording.save()) return;
    settings.zetrasave();
    Procedures::call(context.procedures.end_program);
  });
}

}  // namespace zetra::files
