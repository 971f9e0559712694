#include "recorder/files/recovery_journal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/paths.h"
#include "recorder/numbers/number_format.h"
#include "recorder/files/recording_commands.h"
#include "recorder/files/regular_file.h"

namespace zetra::files {
namespace {

constexpr uint64_t kHashSeed = 0xCBF29CE484222325ull;

// The recording runs while the button crec reads "Stop".
bool recording_runs(const WindowModel& window) { return window["crec"].caption == "Stop"; }

TraceView traces_of(const RecorderState& s) {
  return {s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(), s.rec_temp2.data(),
          s.rec_cur1.size()};
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int64_t modified_ns(const std::string& path) {
  return identity_of(path).mtime_ns;
}

// A file time as the local "yyyy-mm-dd hh:mm".
std::string local_date_time(int64_t time_ns) {
  const auto seconds = static_cast<std::time_t>(time_ns / 1000000000);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return "?";
  return numbers::format_date_time(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                   local.tm_hour, local.tm_min);
}

}  // namespace

std::string lock_path_of(const std::string& journal) {
  const std::string suffix = kJournalSuffix;
  if (ends_with(journal, suffix)) {
    return journal.substr(0, journal.size() - suffix.size()) + kJournalLockSuffix;
  }
  return journal + kJournalLockSuffix;
}

std::vector<std::string> orphaned_journals(const std::string& folder) {
  std::vector<std::string> found, names;
  platform::list_folder(folder, names);
  for (const std::string& name : names) {
    const bool ours = name == kOldJournalFileName ||
                      (name.rfind(kJournalPrefix, 0) == 0 && ends_with(name, kJournalSuffix));
    const std::string journal = platform::join_path(folder, name);
    platform::FileStatus status;
    if (!ours || platform::examine(journal, status) != 0 ||
        status.kind != platform::FileKind::Regular) {
      continue;
    }
    platform::FileLock probe;  // free only when the journal's program has ended
    if (probe.try_acquire(lock_path_of(journal))) found.push_back(journal);
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return modified_ns(a) > modified_ns(b);
  });
  return found;
}

std::string RecoveryJournal::folder() const {
  return data_folder(context_.platform);
}

std::string RecoveryJournal::path() const {
  if (!lock_.held()) return {};
  const std::string lock = lock_.path();
  return lock.substr(0, lock.size() - std::string(kJournalLockSuffix).size()) + kJournalSuffix;
}

// The settings frame of the recorder as it is now, then the file frame: the current file and
// that file as it was when the journal first named it.
std::vector<uint8_t> RecoveryJournal::settings_frame(bool held) const {
  RecordingHeader h = header_from(context_.state, context_.window);
  h.rec_next = h.shown_count = h.view_start = 1;
  std::vector<uint8_t> frame;
  const std::string notes = held ? notes_field(context_.state, context_.window)
                                 : notes_field(context_.state, context_.window, HeldStretches{});
  append_settings_frame(frame, h, notes);
  const std::string& name = context_.state.file_name;
  append_file_frame(frame, name, name == identity_name_ ? identity_ : identity_of(name));
  return frame;
}

// One past the last index the counter covers: samples 1 .. ceil(rec_next) - 1, inside the store.
size_t RecoveryJournal::covered_end() const {
  const RecorderState& s = context_.state;
  const size_t size = s.rec_cur1.size();
  if (size == 0 || !(s.rec_next > 1)) return 1;
  const double end = std::ceil(static_cast<double>(s.rec_next));
  return std::min(size, static_cast<size_t>(end));
}

uint64_t RecoveryJournal::hash_from(uint64_t hash, size_t from, size_t to) const {
  const RecorderState& s = context_.state;
  const float* traces[] = {s.rec_cur1.data(), s.rec_cur2.data(), s.rec_temp1.data(),
                           s.rec_temp2.data()};
  for (size_t i = from; i < to; ++i) {
    for (const float* trace : traces) {
      uint32_t bits;
      std::memcpy(&bits, trace + i, 4);
      hash = (hash ^ bits) * 0x100000001B3ull;
    }
  }
  return hash;
}

void RecoveryJournal::add_samples(std::vector<uint8_t>& out, size_t from, size_t to,
                                  float rec_next) const {
  const TraceView traces = traces_of(context_.state);
  do {
    const size_t count = std::min(to - from, kMaxSamplesPerFrame);
    // A frame that is not the last says where its own samples end, so a torn journal is whole.
    const float next = from + count == to ? rec_next : static_cast<float>(from + count);
    append_samples_frame(out, traces, from, count, next);
    from += count;
  } while (from < to);
}

void RecoveryJournal::tick() {
  const bool now = recording_runs(context_.window);
  const bool changed = now != was_recording_;
  was_recording_ = now;
  if (!active_ && !now && !(emptied_ && context_.state.unsaved())) return;
  if (changed || ++ticks_ >= kJournalTicks) sync();
}

void RecoveryJournal::sync() {
  ticks_ = 0;
  const RecorderState& s = context_.state;
  if (s.file_name != identity_name_) {
    identity_name_ = s.file_name;
    identity_ = identity_of(s.file_name);
  }
  const bool held = s.rec_next > 1 || recording_runs(context_.window);
  if (!held) {
    if (active_) {
      discard();  // New or Delete all: nothing is left to recover
      emptied_ = true;
    }
    return;
  }
  emptied_ = false;
  const size_t end = covered_end();
  const bool same_store = s.rec_cur1.data() == store_ && s.rec_cur1.size() == store_size_;
  bool whole = !active_ || torn_ || !same_store || end < end_;
  if (!whole && suspect_) whole = hash_from(kHashSeed, 1, end_) != hash_;
  suspect_ = false;
  if (whole) {
    report(rewrite());
    return;
  }
  std::vector<uint8_t> out, settings = settings_frame();
  if (settings != written_ && !defer_held_list()) out = settings;
  const bool settings_out = !out.empty();
  if (end > end_ || s.rec_next != rec_next_) add_samples(out, end_, end, s.rec_next);
  if (out.empty()) return;
  const bool ok = append(out);
  report(ok);
  if (!ok) return;
  hash_ = hash_from(hash_, end_, end);
  end_ = end;
  rec_next_ = s.rec_next;
  if (settings_out) {
    written_ = std::move(settings);
    written_plain_ = settings_frame(false);
    held_syncs_ = 0;
  }
}

// A settings frame is a whole record (25 KB): one per sync for a held stretch that grows at every
// tick would fill the disk during a long silence. Only the list changed, and the recording runs:
// it waits, for a minute at most.
bool RecoveryJournal::defer_held_list() {
  if (quiet_ || !recording_runs(context_.window)) return false;
  if (settings_frame(false) != written_plain_) return false;
  return ++held_syncs_ < kHeldListSyncs;
}

// This program's own journal name, locked for as long as the journal lives.
bool RecoveryJournal::hold_journal() {
  if (lock_.held()) return true;
  if (lock_.create_unique(folder(), kJournalPrefix, kJournalLockSuffix)) return true;
  error_ = "cannot create a lock file in " + folder() + ": " + lock_.error();
  return false;
}

// Tells the user when the journal first fails (once for the life of a journal: a disk that is
// nearly full may fail every other write), and shows it in the status field until a write
// succeeds again.
void RecoveryJournal::report(bool ok) {
  std::string& notice = context_.state.journal_notice;
  const std::string now = ok ? std::string() : "Recovery journal not written: " + error_;
  if (!ok && !told_ && !quiet_) {
    told_ = true;
    // Save is locked while recording runs: the way to keep the samples is Stop, then Save.
    const std::string what_now =
        recording_runs(context_.window)
            ? "Recording goes on, but a crash now would lose the samples since. Stop the "
              "recording, then Save it to keep them."
            : "A crash now would lose the changes since. Save the recording to keep them.";
    context_.platform.dialogs.message_box(
        "The recovery journal in " + folder() + " cannot be written (" + error_ + "). " + what_now,
        "ZetraII", platform::MessageIcon::Exclamation, platform::MessageButtons::Ok);
  }
  if (notice == now) return;
  notice = now;
  Procedures::call(context_.procedures.show_status_field);
}

// The whole journal anew, written beside and then put in place of the old one.
bool RecoveryJournal::rewrite() {
  const RecorderState& s = context_.state;
  if (!hold_journal()) return false;
  AtomicFile file(path(), faults);
  file.keep_private();
  std::vector<uint8_t> settings = settings_frame();
  const size_t end = covered_end();
  bool ok = file.open() && file.write(settings.data(), settings.size());
  std::vector<uint8_t> chunk;
  for (size_t from = 1; ok && from < end; from += kMaxSamplesPerFrame) {
    chunk.clear();
    const size_t to = std::min(end, from + kMaxSamplesPerFrame);
    add_samples(chunk, from, to, to == end ? s.rec_next : static_cast<float>(to));
    ok = file.write(chunk.data(), chunk.size());
  }
  if (!(ok && file.commit())) {
    error_ = file.error();
    return false;
  }
  error_.clear();
  drop_recovered();  // this journal holds the recording now
  active_ = true;
  torn_ = false;
  end_ = end;
  rec_next_ = s.rec_next;
  hash_ = hash_from(kHashSeed, 1, end);
  store_ = s.rec_cur1.data();
  store_size_ = s.rec_cur1.size();
  written_ = std::move(settings);
  written_plain_ = settings_frame(false);
  held_syncs_ = 0;
  return true;
}

// Appends whole frames and flushes them to disk. A failure may leave a torn frame at the end,
// which a reader stops at; the next sync then writes the journal anew.
bool RecoveryJournal::append(const std::vector<uint8_t>& bytes) {
  using platform::ErrorCode;
  const auto fail = [this](const char* what, ErrorCode code) {
    error_ = std::string(what) + ": " + (code != 0 ? platform::error_text(code) : "simulated failure");
    return false;
  };
  const auto injected = [this] { return faults != nullptr && faults->fails(); };
  if (injected()) return fail("cannot open the journal", 0);
  platform::File file;
  if (const ErrorCode code = file.open_for_appending(path()); code != 0) {
    return fail("cannot open the journal", code);
  }
  uint64_t start = 0;
  const bool started = file.size(start) == 0;
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    if (injected()) ok = fail("cannot write the journal", 0);
    uint64_t written = 0;
    const ErrorCode code = ok ? file.write_all(bytes.data() + done, bytes.size() - done, written) : 0;
    if (ok && code != 0) ok = fail("cannot write the journal", code);
    done += static_cast<size_t>(written);
  }
  if (ok && injected()) ok = fail("cannot flush the journal", 0);
  if (ok) {
    if (const ErrorCode code = file.flush_data_to_disk(); code != 0) {
      ok = fail("cannot flush the journal", code);
    }
  }
  // A failed append is taken back, so that the journal stays whole and the next sync appends
  // again: on a nearly full disk a rewrite would need room for two journals.
  if (!ok) torn_ = !(started && file.truncate(start) == 0 && file.flush_data_to_disk() == 0);
  if (ok) error_.clear();
  return ok;
}

void RecoveryJournal::keep_for_next_start() {
  if (!context_.state.unsaved()) {
    discard();
    return;
  }
  quiet_ = true;
  sync();
  quiet_ = false;
}

void RecoveryJournal::discard() {
  drop_recovered();
  if (lock_.held()) {
    platform::remove_file(path());
    lock_.release(true);
  }
  active_ = suspect_ = torn_ = emptied_ = false;
  ticks_ = 0;
  end_ = 1;
  rec_next_ = 1;
  store_ = nullptr;
  store_size_ = 0;
  written_.clear();
  written_plain_.clear();
  held_syncs_ = 0;
  identity_name_.clear();
  told_ = false;
  if (!error_.empty()) {
    error_.clear();
    report(true);
  }
}

void RecoveryJournal::offer_recovery() {
  for (const std::string& journal : orphaned_journals(folder())) {
    platform::FileLock& theirs = recovered_lock_;
    // Taken before asking: another program starting now passes this journal by.
    if (!theirs.try_acquire(lock_path_of(journal))) continue;
    platform::FileStatus status;
    if (platform::examine(journal, status) != 0 || !status.exists()) {  // recovered meanwhile
      theirs.release(true);
      continue;
    }
    // Read before asking, so that the question can say what it would bring back.
    LoadedRecording loaded;
    std::string error;
    const bool readable = read_journal(journal, loaded, error);
    std::string question = "Recover the unsaved recording?";
    if (readable) question += "\n\n" + recovery_summary(journal, loaded);
    const platform::MessageAnswer answer = context_.platform.dialogs.message_box(
        question, "ZetraII", platform::MessageIcon::Question, platform::MessageButtons::YesNo);
    if (answer != platform::MessageAnswer::Yes) {
      platform::remove_file(journal);
      theirs.release(true);
      continue;
    }
    if (!recover(journal, readable ? &loaded : nullptr, error)) theirs.release(true);
    return;
  }
}

// What a journal holds, for the recovery question: "file1.ztr, started 2026-12-07 14:02,
// 00:12:31 long, 1,502 samples". The start is when the journal began (its lock file was made
// then), left out when the lock is younger than the journal.
std::string RecoveryJournal::recovery_summary(const std::string& journal,
                                              const LoadedRecording& loaded) {
  const RecordingHeader& h = loaded.header;
  const double samples = h.rec_next > 1 ? h.rec_next - 1.0 : 0.0;
  std::string text = loaded.file_name.empty() ? std::string("A recording")
                                              : platform::name_of(loaded.file_name);
  platform::FileStatus lock, data;
  if (platform::examine(lock_path_of(journal), lock) == 0 && lock.exists() &&
      platform::examine(journal, data) == 0 && lock.mtime_ns <= data.mtime_ns) {
    text += ", started " + local_date_time(lock.mtime_ns);
  }
  return text + ", " + numbers::format_clock(samples * h.sample_interval) + " long, " +
         numbers::format_count(samples) + " samples";
}

// Loads the journal and carries it on as this program's own. The old one goes once the new one is
// written, or once the recording is safe otherwise (saved, or the user ended without it); until
// then this program keeps its lock, so that no other start offers it again. One that cannot be
// read is kept aside, not deleted, and not asked about again.
bool RecoveryJournal::recover(const std::string& journal, LoadedRecording* loaded,
                              const std::string& error) {
  if (loaded == nullptr) {
    platform::rename_file(journal, journal + ".unreadable");
    context_.platform.dialogs.message_box(
        "Cannot recover the recording from " + journal + ": " + error + ".", "ZetraII",
        platform::MessageIcon::Exclamation, platform::MessageButtons::Ok);
    return false;
  }
  adopt(*loaded);
  recovered_journal_ = journal;
  // Written anew at once: a torn last frame must not stand between the journal and what follows.
  report(rewrite());
  return true;
}

// The journal a recovery came from, once the recording no longer needs it.
void RecoveryJournal::drop_recovered() {
  if (recovered_journal_.empty()) return;
  platform::remove_file(recovered_journal_);
  recovered_journal_.clear();
  recovered_lock_.release(true);
}

bool RecoveryJournal::read_journal(const std::string& journal, LoadedRecording& loaded,
                                   std::string& error) {
  RegularFile file(journal);
  std::vector<uint8_t> bytes;
  if (!file.is_open() || !file.read_all(bytes)) {
    error = file.is_open() ? "the journal cannot be read" : file.error();
    return false;
  }
  return parse_journal(bytes.data(), bytes.size(), loaded, error);
}

// The recovered recording becomes the current one as Open brings in a file, and with it the
// name of the file it belonged to, which the journal keeps naming as it was then.
void RecoveryJournal::adopt(LoadedRecording& loaded) {
  show_loaded_recording(context_, loaded);
  if (!loaded.file_name.empty()) {
    context_.state.file_name = identity_name_ = loaded.file_name;
    identity_ = loaded.file_identity;
    if (on_recovered) on_recovered(loaded.file_name, loaded.file_identity);
  }
}

}  // namespace zetra::files
