// The groups of figures the benchmark program runs, each printing its lines into the report.
#pragma once

#include <string>

#include "bench/harness.h"

namespace zetra::bench {

void chart_figures(const RunOptions& options, Report& report);
void scan_figures(const RunOptions& options, Report& report);
// `program` is this program: export_5m runs ztrtool from its folder and itself as the baseline.
void file_figures(const RunOptions& options, Report& report, const std::string& folder,
                  const std::string& program);
// export_5m on the recording file `ztr` (written by file_figures).
void export_figures(const RunOptions& options, Report& report, const std::string& program,
                    const std::string& ztr);
void tick_figures(const RunOptions& options, Report& report);
void undo_figures(const RunOptions& options, Report& report);
void process_figures(const RunOptions& options, Report& report, const std::string& program,
                     const std::string& folder);

// Child processes of process_figures.
int memory_child();
int startup_child(int argc, char** argv, long long start_ns, const std::string& folder);
int settings_child(const std::string& folder);
// The plain exporter: samples 1 to `to` (0: all) of `path` as TAB or CSV text on stdout.
int export_child(const std::string& path, bool csv, long long to);

}  // namespace zetra::bench
