#include "recorder/window/unsaved_guard.h"

#include "recorder/window/recording_steps.h"

namespace zetra {

bool may_discard_changes(RecorderContext& context, const std::string& title) {
  // An emptied recording may be unsaved, but there is nothing left to lose.
  if (!context.state.unsaved() || !holds_anything(context.state, context.window)) return true;
  using platform::MessageAnswer;
  const MessageAnswer answer = context.platform.dialogs.message_box(
      kUnsavedQuestion, title, platform::MessageIcon::Question,
      platform::MessageButtons::YesNoCancel);
  if (answer == MessageAnswer::No) return true;
  if (answer != MessageAnswer::Yes) return false;
  // Go on only when the changes are really on disk: a recording too short to be written is
  // "saved" without a write, and going on would lose it and its notes.
  const auto& save = context.procedures.save_recording;
  return save && save() && !context.state.unsaved();
}

}  // namespace zetra
