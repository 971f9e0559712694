// zetra_bench: every performance figure of the recorder against its baseline, one line each.
// Exits non-zero when a figure misses its target; --quick repeats less and always exits 0.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/figures.h"

namespace {

std::string this_program() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace

int main(int argc, char** argv) {
  using namespace zetra::bench;
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--child-memory") return memory_child();
  if (first == "--child-settings" && argc > 2) return settings_child(argv[2]);
  if (first == "--child-export" && argc > 4) {
    return export_child(argv[2], std::string(argv[3]) == "csv", std::atoll(argv[4]));
  }
  if (first == "--child-startup" && argc > 3) {
    return startup_child(argc, argv, std::atoll(argv[2]), argv[3]);
  }
  RunOptions options;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") options.quick = true;
    else if (arg.rfind("--only=", 0) == 0) only = arg.substr(7);
    else {
      std::fprintf(stderr, "usage: zetra_bench [--quick] [--only=chart|scan|files|tick|undo|process]\n");
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The file figures write beside this program, on a real disk (a temporary folder may be in
  // memory, where a flush to disk costs nothing).
  const std::string folder = std::filesystem::path(this_program()).parent_path().string();
  Report report;
  {
    int qt_argc = 1;
    QGuiApplication app(qt_argc, argv);  // fonts for the chart's labels
    if (only.empty() || only == "chart") chart_figures(options, report);
  }
  if (only.empty() || only == "scan") scan_figures(options, report);
  if (only.empty() || only == "files") file_figures(options, report, folder, this_program());
  if (only.empty() || only == "tick") tick_figures(options, report);
  if (only.empty() || only == "undo") undo_figures(options, report);
  if (only.empty() || only == "process") process_figures(options, report, this_program(), folder);
  if (options.quick) {
    std::printf("quick pass: figures reported, timing misses do not fail it\n");
    return 0;
  }
  return report.failed() ? 1 : 0;
}
