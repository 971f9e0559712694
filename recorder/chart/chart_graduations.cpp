// d_grad: grid dots inside the chart, ticks and labels on the window's own layer around it.
#include <string>

#include "recorder/chart/chart_renderer.h"
#include "recorder/chart/chart_view_rules.h"
#include "recorder/chart/legend.h"
#include "recorder/numbers/number_format.h"

namespace zetra::chart {
namespace {

double rnd(double value) { return static_cast<double>(numbers::round_half_even(value)); }

std::string number_text(double value) { return numbers::format_shortest(static_cast<float>(value)); }

std::string temperature_text(double value) {
  std::string text = number_text(value);
  text += numbers::kDegreeSign;
  text += 'C';
  return text;
}

}  // namespace

void ChartRenderer::d_grad() {
  if (context_.window["pgon"].checked) draw_grid();
  draw_legend(chart_, context_.state, context_.window);
  layer_.clear();
  const platform::TwipsRect rect = chart_.placement_twips();
  draw_ticks(rect);
  layer_.set_pen_width(1);
  draw_time_labels(rect);
  draw_value_labels(rect);
  layer_.set_foreground(0);
}

// Dots at the 21 x 11 crossings (pen 2), dotted interior lines a quarter division apart (pen 1).
void ChartRenderer::draw_grid() {
  const RecorderState& s = context_.state;
  chart_.set_foreground(colour_of(s.color_grid));
  const int saved_width = chart_.pen_width();
  chart_.set_pen_width(2);
  const float dx = static_cast<float>(rnd(chart_.scale_width() / 20));
  const float dy = static_cast<float>(rnd(chart_.scale_height() / -10));
  if (dx > 0 && dy > 0) {  // a zero span from a damaged settings file draws no grid
    for (int i = 0; i <= 20; ++i) {
      for (int j = 0; j <= 10; ++j) chart_.point(i * dx, j * dy);
    }
    chart_.set_pen_width(1);
    for (int i = 1; i <= 19; ++i) {
      for (int k = 0; k <= 40; ++k) chart_.point(i * dx, k * (dy / 4));
    }
    for (int j = 1; j <= 9; ++j) {
      for (int k = 0; k <= 80; ++k) chart_.point(k * (dx / 4), j * dy);
    }
  }
  chart_.set_pen_width(saved_width);
  chart_.set_foreground(colour_of(s.color_cur1));
}

void ChartRenderer::draw_ticks(const platform::TwipsRect& c) {
  layer_.set_pen_width(2);
  const float bottom = c.top + c.height;
  const float right = c.left + c.width;
  for (float at : {0.003f, 0.253f, 0.501f, 0.75f, 1.0f}) {
    const float x = c.left + c.width * at;
    layer_.line(x, bottom, x, bottom + 100);
  }
  for (float at : {0.005f, 0.5f, 1.0f}) {
    const float y = c.top + c.height * at;
    layer_.line(right, y, right + 100, y);
  }
}

void ChartRenderer::draw_time_labels(const platform::TwipsRect& c) {
  const RecorderState& s = context_.state;
  const double rate = rnd(1 / s.sample_interval);
  const double first = rnd(s.view_start) - 1;
  const double width = rnd(s.view_width);
  const float y = c.top + c.height + 190;
  const float at[] = {0.0f, 0.22f, 0.47f, 0.72f, 0.97f};
  for (int k = 0; k <= 4; ++k) {
    const double seconds = rate > 0 ? rnd((first + width * k / 4) / rate) : 0;
    print_at(c.left + c.width * at[k], y, numbers::format_time_label(seconds));
  }
}

// Twelve labels right of the chart: each trace's value at the top, middle and bottom edge.
void ChartRenderer::draw_value_labels(const platform::TwipsRect& c) {
  const RecorderState& s = context_.state;
  const float x = c.left + c.width + 170;
  const float t = c.top;
  const float h = c.height;
  const double s1 = rnd(s.span1);
  const double s2 = rnd(s.span2);
  const double p = context_.window["nvs1"].value;
  const double q = context_.window["nvs12"].value;

  layer_.set_foreground(colour_of(s.color_cur1));
  print_at(x, t - 100, number_text(s1 + p * s1 / 100));
  print_at(x, t + h / 2 - 400, number_text(s1 * 50 / 100 + p * s1 / 100));
  print_at(x, t + h - 700, number_text(p * s1 / 100));

  layer_.set_foreground(colour_of(s.color_temp1));
  print_at(x, t + 100, temperature_text(s.tspan1 + static_cast<double>(s.tbase1)));
  print_at(x, t + h / 2 - 200, temperature_text(s.tspan1 / 10.0 * 5 + s.tbase1));
  print_at(x, t + h - 500, temperature_text(s.tbase1));

  layer_.set_foreground(colour_of(s.color_cur2));
  print_at(x, t + 300, number_text(s2 + q * s2 / 100));
  print_at(x, t + h / 2, number_text(s2 * 50 / 100 + q * s2 / 100));
  print_at(x, t + h - 300, number_text(q * s2 / 100));

  layer_.set_foreground(colour_of(s.color_temp2));
  print_at(x, t + 500, temperature_text(s.tspan2 + static_cast<double>(s.tbase2)));
  print_at(x, t + h / 2 + 200, temperature_text(s.tspan2 / 10.0 * 5 + s.tbase2));
  print_at(x, t + h - 100, temperature_text(s.tbase2));
}

void ChartRenderer::print_at(float x, float y, const std::string& text) {
  layer_.set_text_position(x, y);
  layer_.print_text(text);
}

}  // namespace zetra::chart
