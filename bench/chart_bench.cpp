// redraw_widest (1600 x 900 and 3840 x 2160), its picture comparison, live_tick and the page
// advance: the chart drawn by the renderer on the Qt surface, against the same renderer drawing
// one segment per sample with one painter and the same pens.
#include <QImage>
#include <algorithm>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "bench/segment_surface.h"
#include "platform/qt/qt_surface.h"
#include "recorder/chart/chart_renderer.h"
#include "tests/support/recorder_harness.h"

namespace zetra::bench {
namespace {

constexpr int kWidestView = 100000;

// The window as the chart sees it: a chart image of the given size (1600 x 900 by default) and
// the window's drawing layer.
struct ChartRig {
  testing::RecorderHarness h;
  platform::QtSurface chart, layer{0xF0F0F0};
  explicit ChartRig(int width = 1600, int height = 900) {
    RecorderState& s = h.state();
    s.allocate(200000);
    fill_recording(s, 150000, 11);
    s.shown_count = s.rec_next;
    s.view_start = 1;
    s.view_width = kWidestView;
    chart.resize(width, height);
    chart.set_placement({0, 2160, width * 15.0f, height * 15.0f});
    layer.resize(width + 200, height + 300);
    layer.set_scale(0, 18000, 27000);
    h.window()["ptlon"].checked = true;  // temperature lines on
    h.window()["pgon"].checked = true;  // grid on
  }
};

// Per pixel column, the rows painted in a colour other than the background: lowest and highest.
struct ColumnSpan {
  int top = -1, bottom = -1;
};
std::vector<ColumnSpan> spans(const QImage& image, QRgb background) {
  std::vector<ColumnSpan> out(static_cast<size_t>(image.width()));
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((row[x] & 0xFFFFFFu) == (background & 0xFFFFFFu)) continue;
      ColumnSpan& c = out[static_cast<size_t>(x)];
      if (c.top < 0) c.top = y;
      c.bottom = y;
    }
  }
  return out;
}

// Each trace alone, fast and plain on the same kind of surface: the share of columns whose
// painted span differs by more than one pixel.
double columns_off_share(ChartRig& rig) {
  const RecorderState& s = rig.h.state();
  const float* traces[] = {s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(),
                           s.rec_temp2.data()};
  const float tops[] = {4000, 4000, 30, 30}, heights[] = {-16000, -16000, -10, -10};
  size_t off = 0, columns = 0;
  for (int t = 0; t < 4; ++t) {
    platform::QtSurface fast, plain;
    for (platform::QtSurface* surface : {&fast, &plain}) {
      surface->resize(1600, 900);
      surface->set_scale(tops[t], heights[t], kWidestView);
    }
    SegmentSurface segments(plain);
    fast.polyline(1, traces[t] + 1, kWidestView, 0xFF0000);
    segments.polyline(1, traces[t] + 1, kWidestView, 0xFF0000);
    const QRgb background = fast.image().pixel(0, 0);
    const std::vector<ColumnSpan> a = spans(fast.image(), background);
    const std::vector<ColumnSpan> b = spans(plain.image(), background);
    for (size_t x = 0; x < a.size(); ++x, ++columns) {
      if (std::abs(a[x].top - b[x].top) > 1 || std::abs(a[x].bottom - b[x].bottom) > 1) ++off;
    }
  }
  return 100.0 * static_cast<double>(off) / static_cast<double>(columns);
}

// The widest redraw on `rig`, ours against the baseline, and whether both pictures are the same.
Pair widest_redraw(const RunOptions& options, Report& report, ChartRig& rig, const std::string& name) {
  RecorderContext& context = rig.h.recorder.context();
  chart::ChartRenderer fast(context, rig.chart, rig.layer);
  SegmentSurface plain_chart(rig.chart);
  chart::ChartRenderer plain(context, plain_chart, rig.layer);
  fast.r_line();  // the buffers grow once, as in the program after its first widest redraw
  const Pair redraw = fastest_pair(options.reps(5), [&] { fast.r_line(); }, [&] { plain.r_line(); });
  const QImage plain_image = rig.chart.image().copy();
  fast.r_line();
  report.ratio(name, redraw.ours * 1e3, redraw.baseline * 1e3, "ms", 0.25);
  report.check(name + "_picture", rig.chart.image() == plain_image,
               "fast and plain pictures of four traces, grid and temperature lines identical:");
  return redraw;
}

}  // namespace

void chart_figures(const RunOptions& options, Report& report) {
  {
    ChartRig rig4k(3840, 2160);
    widest_redraw(options, report, rig4k, "redraw_widest_4k");  // a 60 Hz frame is 16.7 ms
  }
  ChartRig rig;
  RecorderState& s = rig.h.state();
  chart::ChartRenderer fast(rig.h.recorder.context(), rig.chart, rig.layer);
  const Pair redraw = widest_redraw(options, report, rig, "redraw_widest");
  report.limit("redraw_widest_columns_off", columns_off_share(rig), "%", 0);

  // Page advance: the retained nine tenths of the widest page.
  s.view_start = 1;
  s.shown_count = static_cast<float>(kWidestView) + 1;
  const double advance = fastest(options.reps(5), [&] {
    s.view_start = 1;
    fast.r_linef();
  });
  report.ratio("live_page_advance", advance * 1e3, redraw.baseline * 1e3, "ms", 0.25);

  // Live tick: two new samples since the last tick, at 5 samples/s, mid-page in the widest view.
  s.sample_interval = 0.2f;
  s.view_start = 1;
  s.shown_count = 50001;
  fast.r_line();
  s.pen_x = 50000;
  std::vector<double> ticks;
  const int tick_reps = options.quick ? 200 : 2000;
  for (int i = 0; i < tick_reps; ++i) {
    s.rec_next = s.shown_count + 2;
    ticks.push_back(seconds_of([&] { fast.live_tick(); }));
    s.pen_x -= 2;  // the same two samples again next time
    s.shown_count -= 2;
  }
  std::sort(ticks.begin(), ticks.end());
  report.limit("live_tick", ticks[ticks.size() / 2] * 1e3, "ms", 0.2);
}

}  // namespace zetra::bench
