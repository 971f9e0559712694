#include "recorder/files/recovery_journal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/paths.h"
#include "recorder/files/recording_commands.h"
#include "recorder/files/regular_file.h"
#include "recorder/files/text_encoding.h"

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
std::vector<uint8_t> RecoveryJournal::settings_frame() const {
  RecordingHeader h = header_from(context_.state, context_.window);
  h.rec_next = h.shown_count = h.view_start = 1;
  std::vector<uint8_t> frame;
  append_settings_frame(frame, h, to_windows1252(context_.window["nt1"].caption));
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
  if (settings != written_) out = settings;
  if (end > end_ || s.rec_next != rec_next_) add_samples(out, end_, end, s.rec_next);
  if (out.empty()) return;
  const bool ok = append(out);
  report(ok);
  if (!ok) return;
  hash_ = hash_from(hash_, end_, end);
  end_ = end;
  rec_next_ = s.rec_next;
  written_ = std::move(settings);
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
  if (!ok && !told_) {
    told_ = true;
    context_.platform.dialogs.message_box(
        "The recovery journal in " + folder() + " cannot be written (" + error_ +
            "). Recording goes on, but a crash now would lose the samples since. Save the "
            "recording to keep them.",
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
    const platform::MessageAnswer answer = context_.platform.dialogs.message_box(
        "Recover the unsaved recording?", "ZetraII", platform::MessageIcon::Question,
        platform::MessageButtons::YesNo);
    if (answer != platform::MessageAnswer::Yes) {
      platform::remove_file(journal);
      theirs.release(true);
      continue;
    }
    if (!recover(journal)) theirs.release(true);
    return;
  }
}

// Loads the journal and carries it on as this program's own. The old one goes once the new one is
// written, or once the recording is safe otherwise (saved, or the user ended without it); until
// then this program keeps its lock, so that no other start offers it again. One that cannot be
// read is kept aside, not deleted, and not asked about again.
bool RecoveryJournal::recover(const std::string& journal) {
  std::string error;
  if (!load(journal, error)) {
    platform::rename_file(journal, journal + ".unreadable");
    context_.platform.dialogs.message_box(
        "Cannot recover the recording from " + journal + ": " + error + ".", "ZetraII",
        platform::MessageIcon::Exclamation, platform::MessageButtons::Ok);
    return false;
  }
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

bool RecoveryJournal::load(const std::string& journal, std::string& error) {
  RegularFile file(journal);
  std::vector<uint8_t> bytes;
  if (!file.is_open() || !file.read_all(bytes)) {
    error = file.is_open() ? "the journal cannot be read" : file.error();
    return false;
  }
  LoadedRecording loaded;
  if (!parse_journal(bytes.data(), bytes.size(), loaded, error)) return false;
  // The recovered recording becomes the current one as Open brings in a file, and with it the
  // name of the file it belonged to, which the journal keeps naming as it was then.
  show_loaded_recording(context_, loaded);
  if (!loaded.file_name.empty()) {
    context_.state.file_name = identity_name_ = loaded.file_name;
    identity_ = loaded.file_identity;
    if (on_recovered) on_recovered(loaded.file_name, loaded.file_identity);
  }
  return true;
}

}  // namespace zetra::files
