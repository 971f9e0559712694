// The scale menus as data (Time_DIV, CH1_DIV/CH2_DIV, T1_DIV/T2_DIV), the status line's label
// sequence, and bringing every scale control in line with the scale fields after a file set them.
#pragma once

#include <cstdint>
#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra::chart {

struct TimeChoice {
  const char* item;
  float seconds;  // per division
};
inline constexpr TimeChoice kTimeChoices[] = {
    {"pt1s", 1},     {"pt2s", 2},     {"pt5s", 5},     {"pt10s", 10},   {"pt20s", 20},
    {"pt50s", 50},   {"pt100s", 100}, {"pt200s", 200}, {"pt500s", 500}, {"pt1000s", 1000}};

// Value per division; the CH1 item is "ppn" + name, its CH2 twin adds "2".
inline constexpr const char* kValueNames[] = {"10",    "20",    "50",     "100",    "200",
                                              "500",   "1000",  "2000",   "5000",   "10000",
                                              "20000", "50000", "100000", "200000", "500000"};

struct TemperatureChoice {
  const char* item1;  // CH1 item
  const char* item2;  // CH2 item
  int16_t tspan;      // ten divisions, deg C
};
inline constexpr TemperatureChoice kTemperatureChoices[] = {
    {"pt01", "pt012", 1},   {"pt02", "pt022", 2},   {"pt05", "pt052", 5},   {"pt1", "pt12b", 10},
    {"pt2", "pt22", 20},    {"pt5", "pt52", 50},    {"pt10", "pt102", 100}, {"pt12", "pt122", 120},
    {"pt15", "pt152", 150}, {"pt20", "pt202", 200}};

// "DIV: " and the five scale labels joined by "_": the start of every status line.
std::string scale_labels(const RecorderState& state);

// The label of a temperature scale: tspan / 10 in shortest form, the degree sign and "C".
std::string temperature_label(int16_t tspan);

// The horizontal scroll bar after the view changed: against the capacity while the chart follows
// a running recording, otherwise against the recorded count when there is something to scroll.
void set_up_horizontal_bar(RecorderContext& context);

// After Open or the settings load: checks the sample-rate, memory and scale items that match the
// fields (none where nothing matches), sets the acquisition interval, the value and temperature
// scroll bars (busy flags raised), the scale labels and the status line.
void bring_scale_controls_in_line(RecorderContext& context);

}  // namespace zetra::chart
