#include "recorder/window/change_tracking.h"

#include "recorder/numbers/number_format.h"

namespace zetra {

void note_change(RecorderContext& context) {
  ++context.state.revision;
  Procedures::call(context.procedures.show_status_field);
}

void note_saved(RecorderContext& context) {
  RecorderState& s = context.state;
  s.saved_revision = s.revision;
  s.saved_time = numbers::format_clock_time(clock_of(context.platform).seconds_of_day());
  s.opened = false;
  Procedures::call(context.procedures.show_status_field);
}

void note_opened(RecorderContext& context) {
  note_saved(context);
  context.state.opened = true;
  Procedures::call(context.procedures.show_status_field);
}

void note_clean(RecorderContext& context) {
  RecorderState& s = context.state;
  s.saved_revision = s.revision;
  s.saved_time.clear();
  s.opened = false;
  Procedures::call(context.procedures.show_status_field);
}

}  // namespace zetra
