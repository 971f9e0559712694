// The groups of figures the benchmark program runs, each printing its lines into the report.
#pragma once

#include <string>

#include "bench/harness.h"

namespace zetra::bench {

void chart_figures(const RunOptions& options, Report& report);
void scan_figures(const RunOptions& options, Report& report);
void file_figures(const RunOptions& options, Report& report, const std::string& folder);
void tick_figures(const RunOptions& options, Report& report);
void undo_figures(const RunOptions& options, Report& report);
void process_figures(const RunOptions& options, Report& report, const std::string& program,
                     const std::string& folder);

// Child processes of process_figures.
int memory_child();
int startup_child(int argc, char** argv, long long start_ns, const std::string& folder);

}  // namespace zetra::bench
