// export_5m: ztrtool exporting a 5,000,000-sample recording as TAB text and as CSV, against a
// plain exporter (this program as a child) that loads the same file with the recorder's reader
// and streams every line by snprintf through stdio to the same output. Both run as processes of
// their own, so CPU time and peak resident memory are each process's own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "recorder/files/recording_file.h"
#include "recorder/state/display_rule.h"

namespace zetra::bench {
namespace {

struct ChildCost {
  double cpu_seconds = -1;
  double peak_mb = -1;
  bool ok = false;
};

// A "<key> <n> kB" field of /proc/<pid>/status, 0 when it is not there (yet or any more).
double status_kilobytes(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string word;
  while (status >> word) {
    if (word == key) {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes;
    }
  }
  return 0;
}

// Runs `argv` with standard output into `output`; its CPU seconds (user + system) and peak RSS.
ChildCost run_child(const std::vector<std::string>& args, const std::string& output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  int exec_seen[2];  // closed by the child's exec: from then on its memory is its own
  if (pipe2(exec_seen, O_CLOEXEC) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(exec_seen[1]);
  char ignored;
  while (pid > 0 && read(exec_seen[0], &ignored, 1) < 0 && errno == EINTR) {
  }
  close(exec_seen[0]);
  ChildCost cost;
  int status = 0;
  rusage usage{};
  if (pid < 0) return cost;
  // The peak is read from the running child's VmHWM: the one wait4 reports would include this
  // program's own memory, which the forked child had until its exec.
  double peak_kb = 0;
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (done < 0) return cost;
    peak_kb = std::max(peak_kb, status_kilobytes(pid, "VmHWM:"));
    usleep(2000);
  }
  cost.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  cost.peak_mb = peak_kb * 1024 / 1e6;
  cost.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return cost;
}

// The fastest of `reps` runs; the largest peak.
ChildCost best_of(int reps, const std::vector<std::string>& args, const std::string& output) {
  ChildCost best;
  best.ok = true;
  for (int i = 0; i < std::max(1, reps); ++i) {
    const ChildCost c = run_child(args, output);
    best.ok = best.ok && c.ok;
    if (best.cpu_seconds < 0 || c.cpu_seconds < best.cpu_seconds) best.cpu_seconds = c.cpu_seconds;
    if (c.peak_mb > best.peak_mb) best.peak_mb = c.peak_mb;
  }
  return best;
}

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int export_child(const std::string& path, bool csv, long long to) {
  files::LoadedRecording r;
  std::string error;
  if (!files::read_recording(path, r, error)) return 1;
  const files::RecordingHeader& h = r.header;
  ConditioningSettings settings;
  settings.pa_per_nm1 = h.pa_per_nm1;
  settings.pa_per_nm2 = h.pa_per_nm2;
  settings.tc_start1 = h.tc_start1;
  settings.tc_start2 = h.tc_start2;
  settings.tc_factor1 = h.tc_factor1;
  settings.tc_factor2 = h.tc_factor2;
  settings.tc_on = h.tc_off != 1;
  const ChannelRule rule1 = channel_rule(settings, 1);
  const ChannelRule rule2 = channel_rule(settings, 2);
  const char sep = csv ? ',' : '\t';
  std::fputs(csv ? "time_s,ch1_pA,ch1_nM,ch1_degC,ch2_pA,ch2_nM,ch2_degC\r\n"
                 : "   Time\t  <1>pA\t  <1>nM\t   <1>\xC2\xB0" "C\t  <2>pA\t  <2>nM\t   <2>\xC2\xB0" "C\r\n",
             stdout);
  const long long held = static_cast<long long>(h.rec_next) - 1;
  const long long last = to > 0 && to < held ? to : held;
  char line[7 * 64 + 8];
  float position = 1;
  for (long long k = 1; k <= last; ++k, position += 1.0f) {
    const auto i = static_cast<size_t>(k);
    const float pa1 = rule1.compensated_pa(r.cur1[i], r.temp1[i]);
    const float pa2 = rule2.compensated_pa(r.cur2[i], r.temp2[i]);
    char* p = line;
    p = snprintf_field(p, position * h.sample_interval, 1, sep);
    p = snprintf_field(p, pa1, 1, sep);
    p = snprintf_field(p, pa1 / rule1.pa_per_nm, 1, sep);
    p = snprintf_field(p, r.temp1[i], 2, sep);
    p = snprintf_field(p, pa2, 1, sep);
    p = snprintf_field(p, pa2 / rule2.pa_per_nm, 1, sep);
    p = snprintf_field(p, r.temp2[i], 2, '\r');
    *p++ = '\n';
    std::fwrite(line, 1, static_cast<size_t>(p - line), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

void export_figures(const RunOptions& options, Report& report, const std::string& program,
                    const std::string& ztr) {
  const std::string ztrtool =
      program.substr(0, program.find_last_of('/') + 1) + "ztrtool";
  if (access(ztrtool.c_str(), X_OK) != 0) {
    report.check("export_5m", false, "no ztrtool beside this program:");
    return;
  }
  // The texts of the first 100,000 samples, compared byte for byte.
  const std::string ours_out = ztr + ".ours.txt", plain_out = ztr + ".plain.txt";
  for (const bool csv : {false, true}) {
    const std::string kind = csv ? "csv" : "tab";
    std::vector<std::string> ours{ztrtool, "export", ztr};
    std::vector<std::string> plain{program, "--child-export", ztr, csv ? "csv" : "tab", "0"};
    if (csv) ours.push_back("--csv");
    std::vector<std::string> ours_part = ours, plain_part = plain;
    ours_part.insert(ours_part.end(), {"--to", "100000"});
    plain_part.back() = "100000";
    const bool same = run_child(ours_part, ours_out).ok && run_child(plain_part, plain_out).ok &&
                      file_text(ours_out) == file_text(plain_out);
    report.check("export_5m_" + kind + "_text", same, "first 100,000 lines identical:");
    const ChildCost o = best_of(options.reps(3), ours, "/dev/null");
    const ChildCost b = best_of(options.reps(3), plain, "/dev/null");
    report.ratio("export_5m_" + kind, o.cpu_seconds * 1e3, b.cpu_seconds * 1e3, "ms CPU", 0.5);
    report.limit("export_5m_" + kind + "_peak", o.peak_mb, "MB", 100);
    report.check("export_5m_" + kind + "_result", o.ok && b.ok, "both exported the whole file:");
  }
  std::remove(ours_out.c_str());
  std::remove(plain_out.c_str());
}

}  // namespace zetra::bench
