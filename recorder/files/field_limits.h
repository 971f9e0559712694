// What values of the stored settings the recorder itself can produce: the menu choices, the scroll
// bar ranges and the colour numbers. Files (recordings, the journal, the settings file) are read
// through these, so no value from a file reaches a divisor or an integer conversion out of range.
#pragma once

#include <cstdint>

namespace zetra::files::limits {

bool memory_size(float capacity);                // 100000 .. 5000000, the menu's sizes
bool listed_rate(float interval);                // 1 / interval is 1, 2, 3, 4 or 5
float exact_interval(float interval);            // the menu's own float for a listed rate
bool listed_width(float width, float interval);  // 1 .. 1000 s per division at that rate
bool listed_span(float span);                    // ten times a value-per-division item
bool listed_tspan(int16_t tspan);                // a temperature-per-division item
bool temperature_base(float tbase);              // on the temperature scroll bar, -50 .. 100
bool value_offset(float offset, float span);     // on the value scroll bar for that span
bool colour(float v);                            // a whole number 0 .. 0xFFFFFF
bool divisor(float v);                           // finite and not 0
bool finite(float v);

}  // namespace zetra::files::limits
