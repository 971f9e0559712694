// TEMPORARY live display: both currents and temperatures as the last tick left them, and the
// number of samples recorded, so a user sees the link work before the chart exists.
#include "recorder/ui/live_values_panel.h"

#include <string>

#include "recorder/numbers/number_format.h"

namespace zetra::ui {

LiveValuesPanel::LiveValuesPanel(const RecorderState& state, QWidget* parent)
    : QLabel(parent), state_(state) {
  setObjectName("live_values");
  setFrameShape(QFrame::StyledPanel);
  QFont mono("Monospace");
  mono.setStyleHint(QFont::TypeWriter);
  setFont(mono);
  refresh();
}

void LiveValuesPanel::refresh() {
  using numbers::format_fixed;
  const std::string text =
      "Live  CH1: " + format_fixed(state_.live_cur1, 1) + " pA  " +
      format_fixed(state_.live_temp1, 2) + " \u00B0C   CH2: " + format_fixed(state_.live_cur2, 1) +
      " pA  " + format_fixed(state_.live_temp2, 2) + " \u00B0C   samples: " +
      format_fixed(state_.rec_next - 1, 0);
  const QString shown = QString::fromStdString(text);
  if (this->text() != shown) setText(shown);
}

}  // namespace zetra::ui
