#include "bench/harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace zetra::bench {

double seconds_of(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Pair fastest_pair(int reps, const std::function<void()>& ours,
                  const std::function<void()>& baseline) {
  Pair best{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  for (int i = 0; i < std::max(1, reps); ++i) {
    // Each goes first every other time, so that neither always pays for what the other left
    // behind (dirty caches, a file system journal to commit).
    if (i % 2 == 1) best.baseline = std::min(best.baseline, seconds_of(baseline));
    best.ours = std::min(best.ours, seconds_of(ours));
    if (i % 2 == 0) best.baseline = std::min(best.baseline, seconds_of(baseline));
  }
  return best;
}

double fastest(int reps, const std::function<void()>& run) {
  double best = std::numeric_limits<double>::infinity();
  for (int i = 0; i < std::max(1, reps); ++i) best = std::min(best, seconds_of(run));
  return best;
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

char* snprintf_field(char* out, double value, int decimals, char separator) {
  const double scale = decimals == 1 ? 10.0 : 100.0;
  const double scaled = std::round(std::fabs(value) * scale);
  const bool negative = value < 0 && scaled != 0;
  out += std::snprintf(out, 64, "%s%.*f", negative ? "-" : "", decimals, scaled / scale);
  *out++ = separator;
  return out;
}

namespace {

int decimals_for(double value) {
  const double magnitude = std::fabs(value);
  return magnitude >= 100 ? 1 : (magnitude >= 1 ? 2 : (magnitude >= 0.01 ? 3 : 4));
}

}  // namespace

void Report::ratio(const std::string& name, double ours, double baseline, const std::string& unit,
                   double target) {
  const double r = baseline > 0 ? ours / baseline : std::numeric_limits<double>::infinity();
  const bool pass = r <= target;
  print(name + ": ours " + fixed(ours, decimals_for(ours)) + " " + unit + ", baseline " +
            fixed(baseline, decimals_for(baseline)) + " " + unit + ", ratio " + fixed(r, 3) +
            " (target <= " + fixed(target, 2) + ") " + (pass ? "PASS" : "FAIL"),
        pass);
}

void Report::limit(const std::string& name, double ours, const std::string& unit, double target) {
  const bool pass = ours <= target;
  print(name + ": ours " + fixed(ours, decimals_for(ours)) + " " + unit + " (target <= " +
            fixed(target, decimals_for(target)) + " " + unit + ") " + (pass ? "PASS" : "FAIL"),
        pass);
}

void Report::check(const std::string& name, bool ok, const std::string& detail) {
  print(name + ": " + detail + " " + (ok ? "PASS" : "FAIL"), ok);
}

void Report::print(const std::string& line, bool pass) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (!pass) failed_ = true;
}

void fill_recording(RecordingStore& store, size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> noise(0, 40);
  std::normal_distribution<float> drift(0, 0.002f);
  std::uniform_int_distribution<int> marker(0, 2999);
  float level1 = 1200, level2 = -300, temp1 = 25.3f, temp2 = 24.7f;
  for (size_t i = 1; i <= n; ++i) {
    level1 += noise(random) * 0.05f;
    level2 += noise(random) * 0.05f;
    temp1 += drift(random);
    temp2 += drift(random);
    store.rec_cur1[i] = level1 + noise(random) - (marker(random) == 0 ? 10000.0f : 0.0f);
    store.rec_cur2[i] = level2 + noise(random);
    store.rec_temp1[i] = temp1;
    store.rec_temp2[i] = temp2;
  }
  store.rec_next = static_cast<float>(n + 1);
}

}  // namespace zetra::bench
