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
  return context.procedures.save_recording && context.procedures.save_recording();
}

}  // namespace zetra
