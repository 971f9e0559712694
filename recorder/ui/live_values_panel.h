// TEMPORARY: a one-line display of the live values until the chart and its readouts arrive.
// Remove this file (and its two uses in main_window.cpp) when the readout timer fills t1..t42.
#pragma once

#include <QLabel>

#include "recorder/state/recorder_state.h"

namespace zetra::ui {

class LiveValuesPanel : public QLabel {
 public:
  LiveValuesPanel(const RecorderState& state, QWidget* parent);
  void refresh();

 private:
  const RecorderState& state_;
};

}  // namespace zetra::ui
