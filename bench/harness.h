// The benchmark's own small harness: repeated timing (fastest of n runs, ours and the baseline
// interleaved so both see the same machine noise), the test data, and the report line.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "recorder/state/recording_store.h"

namespace zetra::bench {

// How hard to try: the full run repeats each figure, the quick pass (CI) runs it once or twice.
struct RunOptions {
  bool quick = false;
  int reps(int full) const { return quick ? (full > 1 ? 2 : 1) : full; }
};

// Seconds taken by one call.
double seconds_of(const std::function<void()>& run);

// The fastest of `reps` runs of each, interleaved, each going first every other time.
struct Pair {
  double ours = 0, baseline = 0;
};
Pair fastest_pair(int reps, const std::function<void()>& ours, const std::function<void()>& baseline);
double fastest(int reps, const std::function<void()>& run);

// Collects the figures and prints each as one line; failed() when any missed its target.
class Report {
 public:
  // "<name>: ours <v> <unit>, baseline <v> <unit>, ratio <r> (target <= <t>) PASS|FAIL"
  void ratio(const std::string& name, double ours, double baseline, const std::string& unit,
             double target);
  // "<name>: ours <v> <unit> (target <= <t> <unit>) PASS|FAIL"
  void limit(const std::string& name, double ours, const std::string& unit, double target);
  // A check that is not a timing (texts identical, nothing lost): PASS or FAIL with a reason.
  void check(const std::string& name, bool ok, const std::string& detail);
  bool failed() const { return failed_; }

 private:
  void print(const std::string& line, bool pass);
  bool failed_ = false;
};

// A meter-like recording of n samples (index 1..n): currents wander around a level with noise
// and an occasional marker dip, temperatures drift slowly around 25 deg C. Same seed, same data.
void fill_recording(RecordingStore& store, size_t n, unsigned seed);

// One table field by snprintf and its separator at `out` (64 characters of room), written as the
// recorder's text writes numbers: halves away from zero and no minus sign on a zero. Returns the
// end. The baselines of the table texts.
char* snprintf_field(char* out, double value, int decimals, char separator);

// Text of a value with the fixed number of decimals the report uses.
std::string fixed(double value, int decimals);

}  // namespace zetra::bench
