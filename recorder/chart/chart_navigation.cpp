#include "recorder/chart/chart_navigation.h"

#include <algorithm>
#include <iterator>

#include "recorder/chart/chart_view_rules.h"
#include "recorder/chart/scale_menus.h"
#include "recorder/window/control_set.h"

namespace zetra::chart {
namespace {

constexpr float kBarEnd = 32767;
constexpr int kCtrl = 2;
constexpr int kShift = 1;

}  // namespace

void ChartNavigation::bind() {
  context_.window.chart_wheel = [this](const ChartWheel& w) { wheel(w); };
  context_.window.chart_key = [this](ChartKey k) { key(k); };
}

void ChartNavigation::wheel(const ChartWheel& w) {
  if (w.notches == 0) return;
  if (w.shift & kCtrl) {
    zoom(w.notches, w.x);
    return;
  }
  const Control& bar = context_.window["nhs1"];
  const int step = (w.shift & kShift) ? bar.large_change : bar.small_change;
  scroll_by(-w.notches * step);  // turned towards the user: later in time
}

void ChartNavigation::key(ChartKey k) {
  const Control& bar = context_.window["nhs1"];
  switch (k) {
    case ChartKey::Left: scroll_by(-bar.small_change); break;
    case ChartKey::Right: scroll_by(bar.small_change); break;
    case ChartKey::PageUp: scroll_by(-bar.large_change); break;
    case ChartKey::PageDown: scroll_by(bar.large_change); break;
    case ChartKey::Home: scroll_to(bar.minimum); break;
    case ChartKey::End: scroll_to(last_page_position()); break;
  }
}

int ChartNavigation::last_page_position() const {
  const RecorderState& s = context_.state;
  if (s.shown_count <= 1) return 0;
  const float last_start = std::max(1.0f, s.shown_count - s.view_width);
  return to_bar_value(last_start * kBarEnd / s.shown_count);
}

void ChartNavigation::scroll_by(int delta) {
  const Control& bar = context_.window["nhs1"];
  int target = bar.value + delta;
  // Forward stops at the last page (or where a dragged bar already is); back stops at the start.
  if (delta > 0) target = std::min(target, std::max(bar.value, last_page_position()));
  scroll_to(target);
}

void ChartNavigation::scroll_to(int position) {
  Control& bar = context_.window["nhs1"];
  if (live_follow(context_.window)) return;  // the chart follows the newest samples
  if (!bar.enabled || !bar.visible || bar.minimum >= bar.maximum) return;
  const int target = std::clamp(position, bar.minimum, bar.maximum);
  if (target == bar.value) return;
  context_.window.scroll("nhs1", target);  // a user move: ignored while following the recording
  scales_.serve_scroll_requests();
}

// The sample under the pointer stays under the pointer while the chart is static; a chart that
// follows the recording keeps following it.
void ChartNavigation::zoom(int notches, float pointer_x) {
  WindowModel& window = context_.window;
  RecorderState& s = context_.state;
  const Control* checked = window.checked_in(kTimeDivGroup);
  const auto begin = std::begin(kTimeChoices), end = std::end(kTimeChoices);
  const auto current = std::find_if(begin, end, [&](const TimeChoice& c) {
    return checked != nullptr && checked->name == c.item;
  });
  if (current == end) return;
  const auto index = std::clamp<std::ptrdiff_t>((current - begin) - notches, 0, (end - begin) - 1);
  const TimeChoice& next = kTimeChoices[index];
  if (next.item == current->item || !window[next.item].enabled) return;
  const float fraction = std::clamp(pointer_x / s.view_width, 0.0f, 1.0f);
  const float under_pointer = s.view_start + pointer_x;
  const float width = (1 / s.sample_interval) * next.seconds * 20;
  if (!live_follow(window)) {
    const float last_start = std::max(1.0f, s.shown_count - width);
    s.view_start = std::clamp(under_pointer - fraction * width, 1.0f, last_start);
  }
  window.run(next.item);
}

}  // namespace zetra::chart
