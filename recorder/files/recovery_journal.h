// The recovery journal: while a recording runs, the new samples go every few seconds to a journal
// beside the settings file, with the settings needed to read them and the name of the file the
// recording belongs to, so that a crash costs at most the last few seconds. Each running program
// has a journal of its own ("zetrat-XXXXXX.journal") and holds a lock on it
// ("zetrat-XXXXXX.lock") while it lives. A successful Save or an answered exit removes it; at
// start-up a journal whose lock is free (its program ended) is offered back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <functional>

#include "platform/file_lock.h"
#include "recorder/files/atomic_file.h"
#include "recorder/files/journal_format.h"
#include "recorder/window/recorder_context.h"

namespace zetra::files {

inline constexpr const char* kJournalPrefix = "zetrat-";
inline constexpr const char* kJournalSuffix = ".journal";
inline constexpr const char* kJournalLockSuffix = ".lock";
inline constexpr const char* kOldJournalFileName = "zetrat.journal";  // from before there were more

// The lock file of a journal: the same name with ".lock" for ".journal".
std::string lock_path_of(const std::string& journal);
// The journals in `folder` whose program no longer holds their lock, newest first.
std::vector<std::string> orphaned_journals(const std::string& folder);
inline constexpr int kJournalTicks = 4;  // Timer3 ticks (700 ms each) between journal writes
// While a silent unit lengthens its held stretch at every tick, the list goes to the journal
// every this many syncs (about a minute), and at once when the recording stops or ends.
inline constexpr int kHeldListSyncs = 20;

class RecoveryJournal {
 public:
  explicit RecoveryJournal(RecorderContext& context) : context_(context) {}

  // This program's journal; empty until it first writes one.
  std::string path() const;

  // Timer3: while a recording runs (and afterwards until the data are saved) the journal is
  // brought up to date every kJournalTicks ticks, at once when a recording starts or stops.
  void tick();
  // Brings the journal up to date now: appends what is new, or writes it anew after an edit.
  void sync();
  // The session ends and nobody is there to answer a message: brings the journal up to date when
  // the recording has unsaved changes and keeps it for the next start; without such changes the
  // journal goes. A failure is not shown.
  void keep_for_next_start();
  // The recording is safe elsewhere (saved, or the user chose to end without it).
  void discard();
  // The store may have been edited (every edit ends with a full redraw): checked at the next sync.
  void note_redraw() { suspect_ = true; }

  // Start-up: for each journal left by a program that ended, newest first, asks "Recover the
  // unsaved recording?" with the file's name, the start, length and sample count; Yes loads it as the current recording (it goes on in this program's
  // journal until it is saved) and asks no more, No removes that journal.
  void offer_recovery();

  // Runs after a recovery with the name and identity the journal kept of the recording's file.
  std::function<void(const std::string& file_name, const FileIdentity& identity)> on_recovered;

  bool active() const { return active_; }
  // Samples 1 .. journaled_end() - 1 are on disk.
  size_t journaled_end() const { return end_; }
  // Why the last write failed, empty when it succeeded. Failures are retried at the next sync;
  // the user is told of the first (once until the journal goes) and the status field shows it
  // until a write succeeds.
  const std::string& error() const { return error_; }

  FaultPlan* faults = nullptr;  // test seam: every write step of the journal asks it

 private:
  // The settings frame of the recorder as it is now, its counters left out (they change each tick).
  // `held`: with the list of held stretches in the notes, as a recording file keeps it.
  std::vector<uint8_t> settings_frame(bool held = true) const;
  bool defer_held_list();
  size_t covered_end() const;
  uint64_t hash_from(uint64_t hash, size_t from, size_t to) const;
  bool rewrite();
  bool append(const std::vector<uint8_t>& bytes);
  void add_samples(std::vector<uint8_t>& out, size_t from, size_t to, float rec_next) const;
  bool read_journal(const std::string& journal, LoadedRecording& loaded, std::string& error);
  static std::string recovery_summary(const std::string& journal, const LoadedRecording& loaded);
  void adopt(LoadedRecording& loaded);
  // `loaded` null: the journal could not be read, for the reason `error`.
  bool recover(const std::string& journal, LoadedRecording* loaded, const std::string& error);
  bool hold_journal();
  void drop_recovered();
  void report(bool ok);
  std::string folder() const;

  RecorderContext& context_;
  bool active_ = false;
  bool suspect_ = false;       // a redraw since the last sync: the journaled samples may differ
  bool torn_ = false;          // a failed append left bytes that could not be taken back
  bool was_recording_ = false;
  bool emptied_ = false;       // emptied by Delete all or New: an Undo brings back what to journal
  int ticks_ = 0;
  size_t end_ = 1;              // first index not yet journaled
  float rec_next_ = 1;          // the counter as last journaled
  uint64_t hash_ = 0;           // of the journaled samples 1 .. end_ - 1
  const float* store_ = nullptr;  // identity of the store journaled (a new allocation rewrites)
  size_t store_size_ = 0;
  std::vector<uint8_t> written_;  // the settings and file frames as last journaled
  std::vector<uint8_t> written_plain_;  // the same without the list of held stretches
  int held_syncs_ = 0;  // syncs that left a lengthened list of held stretches for later
  std::string error_;
  bool told_ = false;          // the user has been told of a failure of this journal
  bool quiet_ = false;         // the session is ending: failures are not shown
  platform::FileLock lock_;    // held from the first write until the journal goes
  // The journal a recovery came from while this program's own does not hold the recording yet,
  // locked so that no other program offers it meanwhile.
  std::string recovered_journal_;
  platform::FileLock recovered_lock_;
  std::string identity_name_;  // the file whose identity the journal keeps
  FileIdentity identity_;
};

}  // namespace zetra::files
