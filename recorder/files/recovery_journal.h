// The recovery journal: while a recording runs, the new samples go every few seconds to a journal
// beside the settings file, with the settings needed to read them, so that a crash costs at most
// the last few seconds. A successful Save or an answered exit removes it; at start-up a journal
// that is still there is offered back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/files/atomic_file.h"
#include "recorder/files/journal_format.h"
#include "recorder/window/recorder_context.h"

namespace zetra::files {

inline constexpr const char* kJournalFileName = "zetrat.journal";
inline constexpr int kJournalTicks = 4;  // Timer3 ticks (700 ms each) between journal writes

class RecoveryJournal {
 public:
  explicit RecoveryJournal(RecorderContext& context) : context_(context) {}

  std::string path() const;

  // Timer3: while a recording runs (and afterwards until the data are saved) the journal is
  // brought up to date every kJournalTicks ticks, at once when a recording starts or stops.
  void tick();
  // Brings the journal up to date now: appends what is new, or writes it anew after an edit.
  void sync();
  // The recording is safe elsewhere (saved, or the user chose to end without it).
  void discard();
  // The store may have been edited (every edit ends with a full redraw): checked at the next sync.
  void note_redraw() { suspect_ = true; }

  // Start-up: when a journal is there, asks "Recover the unsaved recording?"; Yes loads it as the
  // current recording (the journal stays until it is saved), No removes it.
  void offer_recovery();

  bool active() const { return active_; }
  // Samples 1 .. journaled_end() - 1 are on disk.
  size_t journaled_end() const { return end_; }
  // Why the last write failed, empty when it succeeded. Failures are retried at the next sync.
  const std::string& error() const { return error_; }

  FaultPlan* faults = nullptr;  // test seam: every write step of the journal asks it

 private:
  // The settings frame of the recorder as it is now, its counters left out (they change each tick).
  std::vector<uint8_t> settings_frame() const;
  size_t covered_end() const;
  uint64_t hash_from(uint64_t hash, size_t from, size_t to) const;
  bool rewrite();
  bool append(const std::vector<uint8_t>& bytes);
  void add_samples(std::vector<uint8_t>& out, size_t from, size_t to, float rec_next) const;
  bool load(std::string& error);

  RecorderContext& context_;
  bool active_ = false;
  bool suspect_ = false;       // a redraw since the last sync: the journaled samples may differ
  bool was_recording_ = false;
  int ticks_ = 0;
  size_t end_ = 1;              // first index not yet journaled
  float rec_next_ = 1;          // the counter as last journaled
  uint64_t hash_ = 0;           // of the journaled samples 1 .. end_ - 1
  const float* store_ = nullptr;  // identity of the store journaled (a new allocation rewrites)
  size_t store_size_ = 0;
  std::vector<uint8_t> written_;  // the settings frame as last journaled
  std::string error_;
};

}  // namespace zetra::files
