// A recorder state, the window's control set and fakes of the outside world, wired as the analysis
// handlers see them, without the rest of the recorder.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "recorder/window/control_set.h"
#include "recorder/window/recorder_context.h"
#include "tests/support/counting_pause.h"
#include "tests/support/scripted_dialogs.h"

namespace zetra::testing {

class NoSerialPort final : public platform::SerialPort {
 public:
  void select(int) override {}
  int selected() const override { return 1; }
  std::string device_path(int) const override { return {}; }
  bool open() override { return false; }
  void close() override {}
  bool is_open() const override { return false; }
  bool set_dtr(bool) override { return false; }
  bool set_rts(bool) override { return false; }
  bool set_break(bool) override { return false; }
  bool cts() override { return false; }
  bool dsr() override { return false; }
  bool cd() override { return false; }
};

class NoDeviceLibrary final : public platform::DeviceLibrary {
 public:
  bool load() override { return false; }
  int32_t open_device(uint8_t) override { return 0; }
  int32_t close_device(uint8_t) override { return 0; }
  int32_t usr_config(uint8_t, uint8_t&) override { return 0; }
  int32_t write_word(uint8_t, uint8_t, int32_t&) override { return 0; }
  int32_t usr_read(uint8_t, uint8_t&) override { return 0; }
  int32_t read_block(uint8_t, uint8_t, uint8_t, int32_t*) override { return 0; }
};

// Keeps what was put on it and lets a test look at the window while the text arrives.
class WatchedClipboard final : public platform::Clipboard {
 public:
  std::string text;
  platform::Bitmap bitmap;
  int clears = 0, texts = 0;
  std::function<void()> on_text;

  void clear() override {
    ++clears;
    text.clear();
    bitmap = {};
  }
  void set_text(const std::string& new_text) override {
    ++texts;
    text = new_text;
    if (on_text) on_text();
  }
  void set_bitmap(const platform::Bitmap& new_bitmap) override { bitmap = new_bitmap; }
};

struct DrawnLine {
  float x1, y1, x2, y2;
  platform::LineStyle style;
  platform::DrawMode mode;
};

// A chart surface that logs its lines; its picture is a 2 x 1 bitmap to tell copies apart.
class LoggingSurface final : public platform::Surface {
 public:
  std::vector<DrawnLine> lines;

  void set_scale(float top, float height, float width) override {
    top_ = top, height_ = height, width_ = width;
  }
  float scale_top() const override { return top_; }
  float scale_height() const override { return height_; }
  float scale_width() const override { return width_; }
  void clear() override { lines.clear(); }
  void line(float x1, float y1, float x2, float y2) override {
    lines.push_back({x1, y1, x2, y2, style_, mode_});
  }
  void line(float x1, float y1, float x2, float y2, platform::Colour) override {
    line(x1, y1, x2, y2);
  }
  void point(float, float) override {}
  void fill_rect(float, float, float, float, platform::Colour) override {}
  void polyline(float, const float*, int) override {}
  void polyline(float, const float*, int, platform::Colour) override {}
  int pen_width() const override { return 1; }
  void set_pen_width(int) override {}
  platform::Colour foreground() const override { return 0; }
  void set_foreground(platform::Colour) override {}
  platform::Colour background() const override { return 0; }
  void set_background(platform::Colour) override {}
  platform::LineStyle line_style() const override { return style_; }
  void set_line_style(platform::LineStyle style) override { style_ = style; }
  platform::DrawMode draw_mode() const override { return mode_; }
  void set_draw_mode(platform::DrawMode mode) override { mode_ = mode; }
  void set_text_position(float, float) override {}
  void print_text(const std::string&) override {}
  platform::TwipsRect placement_twips() const override { return {}; }
  platform::Bitmap bitmap() const override { return {2, 1, {0xFF0000FFu, 0xFF00FF00u}}; }

  // The x of every vertical line an odd number of times inverted: what the chart shows.
  std::vector<float> visible_inverted_lines() const {
    std::vector<float> xs;
    for (const DrawnLine& l : lines) {
      if (l.mode != platform::DrawMode::Invert) continue;
      auto it = std::find(xs.begin(), xs.end(), l.x1);
      if (it == xs.end()) {
        xs.push_back(l.x1);
      } else {
        xs.erase(it);
      }
    }
    std::sort(xs.begin(), xs.end());
    return xs;
  }

 private:
  float top_ = 2000, height_ = -2000, width_ = 400;
  platform::LineStyle style_ = platform::LineStyle::Solid;
  platform::DrawMode mode_ = platform::DrawMode::Copy;
};

struct AnalysisFixture {
  AnalysisFixture(float capacity = 1000) {
    add_control_set(window);
    state.allocate(capacity);
    state.rec_capacity = capacity;
    state.label_time = "10s", state.label_div1 = "200", state.label_div2 = "500";
    state.label_tdiv1 = "10\u00B0C", state.label_tdiv2 = "10\u00B0C";
    procedures.r_line = [this] {
      ++r_lines;
      state.sel_start = state.sel_end = 0;
    };
    procedures.nhs1_set = [this] { calls += "nhs1_set "; };
    procedures.nhs1_setb = [this] { calls += "nhs1_setb "; };
    procedures.clsp1 = [this] {
      calls += "clsp1 ";
      state.clear();
      state.shown_count = 1;
    };
  }

  // Appends n samples: sample k (from 1) gets the four values f(k) returns.
  void record(int n, const std::function<std::array<float, 4>(int)>& f) {
    for (int i = 0; i < n; ++i) {
      const int k = static_cast<int>(state.rec_next);
      const std::array<float, 4> v = f(k);
      state.append(v[0], v[1], v[2], v[3]);
    }
    state.shown_count = state.rec_next;
  }

  // Every sample's four values as one row, 1 .. rec_next - 1.
  std::vector<std::array<float, 4>> samples() const {
    std::vector<std::array<float, 4>> rows;
    for (size_t k = 1; k + 1 <= static_cast<size_t>(state.rec_next); ++k) {
      rows.push_back({state.rec_cur1[k], state.rec_cur2[k], state.rec_temp1[k], state.rec_temp2[k]});
    }
    return rows;
  }

  void select(float start, float end) {
    state.sel_start = start;
    state.sel_end = end;
  }

  RecorderState state;
  WindowModel window;
  Procedures procedures;
  NoSerialPort serial;
  NoDeviceLibrary library;
  ScriptedDialogs dialogs;
  CountingPause pause;
  WatchedClipboard clipboard;
  Platform platform{serial, library, dialogs, pause, clipboard, "/opt/zetra"};
  RecorderContext context{state, window, procedures, platform};
  LoggingSurface chart;
  int r_lines = 0;
  std::string calls;
};

}  // namespace zetra::testing
