// The status field: most urgent notice first, the saved state last.
#include "recorder/window/status_field.h"

#include <gtest/gtest.h>

#include "recorder/window/control_set.h"
#include "recorder/window/window_model.h"

namespace zetra {
namespace {

TEST(StatusFieldTest, NoticesFirstThenSavedState) {
  RecorderState state;
  EXPECT_EQ(status_field_text(state), "");  // nothing recorded, nothing saved yet
  state.revision = 3;
  EXPECT_EQ(status_field_text(state), "Unsaved changes");
  state.saved_revision = 3;
  state.saved_time = "14:02:11";
  EXPECT_EQ(status_field_text(state), "Saved 14:02:11");
  state.opened = true;
  EXPECT_EQ(status_field_text(state), "Opened 14:02:11");
  state.recording_notice = "00:12:31 \xC2\xB7 3,756 of 100,000 samples";
  state.link_notice = "No answer from the unit since 14:05:00";
  state.journal_notice = "Recovery journal not written";
  state.revision = 4;
  state.input_notice = "CH1 Conv: cannot divide by 0 nM";
  EXPECT_EQ(status_field_text(state),
            "CH1 Conv: cannot divide by 0 nM \xC2\xB7 "
            "No answer from the unit since 14:05:00 \xC2\xB7 Recovery journal not written \xC2\xB7 "
            "00:12:31 \xC2\xB7 3,756 of 100,000 samples \xC2\xB7 Unsaved changes");

  WindowModel window;
  add_control_set(window);
  show_status_field(state, window);
  EXPECT_EQ(window["stfield"].caption, status_field_text(state));
  EXPECT_EQ(window["stfield"].parent, "st1");
}

}  // namespace
}  // namespace zetra
