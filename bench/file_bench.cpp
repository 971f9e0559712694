// save_5m and open_5m: the recording file of a 5,000,000-sample store written and read by the
// recorder's file code, against one write of the same number of bytes with the same flush to disk
// and file replacement around it (one read into a buffer that already exists); then export_5m
// on the same file.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/figures.h"
#include "recorder/files/recording_file.h"

namespace zetra::bench {
namespace {

constexpr size_t kStore = 5000000;

// As the atomic writer does: a file beside, one write, flushed to disk, then renamed over.
bool plain_save(const std::string& path, const uint8_t* data, size_t size) {
  const std::string beside = path + ".saving";
  std::FILE* f = std::fopen(beside.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = std::fflush(f) == 0 && ok;
  ok = ::fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  return ok && std::rename(beside.c_str(), path.c_str()) == 0;
}

// Open, find the size, then one read into fresh memory of that size.
std::unique_ptr<uint8_t[]> plain_open(const std::string& path, size_t& size) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return nullptr;
  std::fseek(f, 0, SEEK_END);
  size = static_cast<size_t>(std::ftell(f));
  std::fseek(f, 0, SEEK_SET);
  std::unique_ptr<uint8_t[]> data(new uint8_t[size]);
  if (std::fread(data.get(), 1, size, f) != size) data.reset();
  std::fclose(f);
  return data;
}

// The open baseline: open, find the size, one read into `buffer` (already there and touched).
bool plain_read(const std::string& path, std::vector<uint8_t>& buffer) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::fseek(f, 0, SEEK_END);
  const auto size = static_cast<size_t>(std::ftell(f));
  std::fseek(f, 0, SEEK_SET);
  const bool ok = size <= buffer.size() && std::fread(buffer.data(), 1, size, f) == size;
  std::fclose(f);
  return ok;
}

}  // namespace

void file_figures(const RunOptions& options, Report& report, const std::string& folder,
                  const std::string& program) {
  RecordingStore store;
  store.allocate(kStore);
  fill_recording(store, kStore - 1, 9);
  files::RecordingHeader header;
  header.rec_capacity = kStore;
  header.rec_next = store.rec_next;
  header.shown_count = header.view_start = 1;
  header.view_width = 400;
  header.span1 = header.span2 = 2000;
  header.sample_interval = 0.5f;
  header.pa_per_nm1 = header.pa_per_nm2 = 1;
  header.tspan1 = header.tspan2 = 10;
  header.tbase1 = header.tbase2 = 20;
  const std::string notes(1000, 'n');
  const files::TraceView traces{store.rec_cur1.data(), store.rec_cur2.data(),
                                store.rec_temp1.data(), store.rec_temp2.data(),
                                store.rec_cur1.size()};
  const std::string ours_path = folder + "/bench_ours.ztr";
  const std::string plain_path = folder + "/bench_plain.ztr";
  std::string error = files::write_recording(ours_path, header, notes, traces);
  size_t size = 0;
  std::unique_ptr<uint8_t[]> bytes = plain_open(ours_path, size);  // the same bytes for the baseline
  if (!error.empty() || !bytes) {
    report.check("save_5m", false, "cannot write " + ours_path + ": " + error);
    return;
  }
  // Both replace a file of their own from the start, as a Save over an existing recording does.
  bool plain_ok = plain_save(plain_path, bytes.get(), size);
  const Pair save = fastest_pair(
      options.reps(3), [&] { error = files::write_recording(ours_path, header, notes, traces); },
      [&] { plain_ok = plain_save(plain_path, bytes.get(), size) && plain_ok; });
  report.ratio("save_5m", save.ours * 1e3, save.baseline * 1e3, "ms", 1.5);
  report.check("save_5m_result", error.empty() && plain_ok,
               std::to_string(size) + " bytes written by both:");

  bool read_ok = true;
  std::vector<uint8_t> buffer(size, 1);  // the baseline's buffer, there before the timing
  // Ours reads into arrays of a recording of the same size that is already there, as the
  // baseline reads into its buffer.
  files::LoadedRecording loaded;
  read_ok = files::read_recording(ours_path, loaded, error);
  const Pair open = fastest_pair(
      options.reps(3), [&] { read_ok = files::read_recording(ours_path, loaded, error) && read_ok; },
      [&] { read_ok = plain_read(plain_path, buffer) && read_ok; });
  report.ratio("open_5m", open.ours * 1e3, open.baseline * 1e3, "ms", 1.3);
  // For the record: into fresh arrays, which the system first has to fault in.
  const double fresh = fastest(options.reps(3), [&] {
    files::LoadedRecording fresh_arrays;
    read_ok = files::read_recording(ours_path, fresh_arrays, error) && read_ok;
  });
  std::printf("open_5m_fresh_arrays: ours %.1f ms (no target)\n", fresh * 1e3);
  report.check("open_5m_result", read_ok, "both read the whole file:");
  export_figures(options, report, program, ours_path);
  std::filesystem::remove(ours_path);
  std::filesystem::remove(plain_path);
}

}  // namespace zetra::bench
