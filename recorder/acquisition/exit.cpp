#include "recorder/acquisition/exit.h"

namespace zetra {

void ExitControl::bind() {
  context_.window.on("pexit", [this] { exit_program(); });
}

// The link is not disconnected first; the recorder releases the port or device as it ends.
// With nothing unsaved there is nothing to ask about: the program ends as after No.
void ExitControl::exit_program() {
  const platform::MessageAnswer answer =
      context_.state.unsaved()
          ? context_.platform.dialogs.message_box("Save data before exit?", "Exit Zetra",
                                                  platform::MessageIcon::Question,
                                                  platform::MessageButtons::YesNoCancel)
          : platform::MessageAnswer::No;
  if (answer != platform::MessageAnswer::Yes && answer != platform::MessageAnswer::No) return;
  // A recording that could not be saved keeps the program open with the data; the message said why.
  const auto& save_recording = context_.procedures.save_recording;
  if (answer == platform::MessageAnswer::Yes && save_recording && !save_recording()) return;
  Procedures::call(context_.procedures.zetrasave);
  Procedures::call(context_.procedures.end_program);
}

}  // namespace zetra
