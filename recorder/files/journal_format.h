// The recovery journal's bytes: a sequence of checked frames, each a settings frame (one .ztr
// record's settings block and notes) or a samples frame (a run of the four traces). A crash can
// only tear the last frame; reading stops there and keeps everything before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recorder/files/recording_file.h"

namespace zetra::files {

// Frame: u32 magic, u32 kind, u32 payload length, payload, u32 CRC-32 of kind, length and payload.
inline constexpr uint32_t kJournalMagic = 0x4A52545A;  // "ZTRJ"
inline constexpr uint32_t kSettingsFrame = 1;          // payload: one .ztr record, samples zero
inline constexpr uint32_t kSamplesFrame = 2;           // payload: see append_samples_frame
inline constexpr uint32_t kFileFrame = 3;              // payload: see append_file_frame
inline constexpr size_t kMaxFileNameBytes = 4096;
inline constexpr size_t kFrameOverhead = 16;
inline constexpr size_t kMaxSamplesPerFrame = 65536;

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Appends one settings frame: the settings block and notes as a recording file holds them.
void append_settings_frame(std::vector<uint8_t>& out, const RecordingHeader& header,
                           const std::string& notes);
// Appends one samples frame: u32 first index, u32 count, f32 rec_next after the frame, then
// `count` floats of each trace in the order cur1, cur2, temp1, temp2. count <= kMaxSamplesPerFrame.
void append_samples_frame(std::vector<uint8_t>& out, const TraceView& traces, size_t first,
                          size_t count, float rec_next);

// Appends one file frame: the file the recording belongs to and that file as it was then: u32
// 1 when it existed, u32 size low, u32 size high, u32 time low, u32 time high, u32 name length,
// the name's bytes. Names longer than kMaxFileNameBytes are not journaled.
void append_file_frame(std::vector<uint8_t>& out, const std::string& name,
                       const FileIdentity& identity);

// Replays the frames into a recording as Open would load it: false with `error` when there is no
// whole settings frame or its settings cannot be applied. `frames_read` counts the whole frames.
bool parse_journal(const uint8_t* data, size_t size, LoadedRecording& loaded, std::string& error,
                   size_t* frames_read = nullptr);

}  // namespace zetra::files
