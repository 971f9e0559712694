// Creates every control of the main window with its start-up caption, tool tip and state.
#pragma once

#include "recorder/window/window_model.h"

namespace zetra {

// Group names of the exclusive menus the logic reads.
inline constexpr const char* kLinkGroup = "link";
inline constexpr const char* kFilterGroup = "filter";
inline constexpr const char* kRateGroup = "rate";
inline constexpr const char* kMemoryGroup = "memory";
inline constexpr const char* kTcModeGroup = "tcmode";
inline constexpr const char* kUnitGroup = "unit";            // pspa / psnm
inline constexpr const char* kTimeDivGroup = "timediv";      // pt1s .. pt1000s
inline constexpr const char* kDiv1Group = "div1";            // ppn10 .. ppn500000
inline constexpr const char* kDiv2Group = "div2";            // ppn102 .. ppn5000002
inline constexpr const char* kTDiv1Group = "tdiv1";          // pt01 .. pt20
inline constexpr const char* kTDiv2Group = "tdiv2";          // pt012 .. pt202
inline constexpr const char* kGridGroup = "grid";            // pgon / pgoff
inline constexpr const char* kTempLineGroup = "templine";    // ptlon / ptloff
inline constexpr const char* kLineWidthGroup = "linewidth";  // pl1 .. pl3
inline constexpr const char* kNotesGroup = "notes";          // pnoteson / pnotesoff
inline constexpr const char* kCalcGroup = "calc";            // pvalue .. pinter

// The recording-memory items and the capacity each one chooses.
struct MemoryItem {
  const char* item;
  float capacity;
};
inline constexpr MemoryItem kMemoryItems[] = {{"pr100", 100000},  {"pr200", 200000},
                                              {"pr500", 500000},  {"pr1m", 1000000},
                                              {"pr2m", 2000000}, {"pr5m", 5000000}};

void add_control_set(WindowModel& window);

}  // namespace zetra
