// Block layout: each word is a set of signal lines. Word 2 holds the lead bits, words 3..31 the
// data bits of weight 2^(31 - i); bit 0x01 CH1 current, 0x02 CH1 temperature, 0x08 CH2 current,
// 0x10 CH2 temperature. Word 30 also carries 0x04 = CH1 high range and 0x20 = CH2 high range.
// Words 0 and 1 are not read.
#include "recorder/acquisition/usb_exchange.h"

namespace zetra {
namespace {

constexpr int32_t kCur1Line = 0x01, kTemp1Line = 0x02, kCur2Line = 0x08, kTemp2Line = 0x10;
constexpr int32_t kCh1HighRange = 0x04, kCh2HighRange = 0x20;
constexpr uint8_t kStatusNotReady = 0x01;
constexpr int kLeadWord = 2, kFirstDataWord = 3, kRangeWord = 30;

float lead(int32_t word, int32_t line) { return (word & line) != 0 ? 1.0f : 0.0f; }

void accumulate(float& value, float lead_flag, int32_t word, int32_t line, float weight) {
  if ((word & line) != 0 && lead_flag == 1.0f) value = value + weight;
}

}  // namespace

// A call that reports failure (0) means the unit did not answer, whatever its outputs hold.
ReadResult UsbExchange::read_words(AcquisitionWorkingState& work) {
  uint8_t status = 0;
  if (library_.usr_read(dev_no_, status) == 0) return ReadResult::NoAnswer;
  if ((status & kStatusNotReady) != 0) return ReadResult::Busy;

  work.cur1 = work.cur2 = work.temp1 = work.temp2 = 0;
  block_.fill(0);  // a read that fills nothing decodes to words of 0
  if (library_.read_block(dev_no_, 0, static_cast<uint8_t>(block_.size()), block_.data()) == 0) {
    return ReadResult::NoAnswer;
  }

  const int32_t leads = block_[kLeadWord];
  work.cur1_lead = lead(leads, kCur1Line);
  work.temp1_lead = lead(leads, kTemp1Line);
  work.cur2_lead = lead(leads, kCur2Line);
  work.temp2_lead = lead(leads, kTemp2Line);

  for (int k = 0; k < kDataBits; ++k) {
    const int32_t word = block_[static_cast<size_t>(kFirstDataWord + k)];
    const float weight = bit_weight(k);
    accumulate(work.cur1, work.cur1_lead, word, kCur1Line, weight);
    accumulate(work.temp1, work.temp1_lead, word, kTemp1Line, weight);
    accumulate(work.cur2, work.cur2_lead, word, kCur2Line, weight);
    accumulate(work.temp2, work.temp2_lead, word, kTemp2Line, weight);
  }
  return ReadResult::Ready;
}

bool UsbExchange::high_range(Channel channel) {
  const int32_t bit = channel == Channel::Ch1 ? kCh1HighRange : kCh2HighRange;
  return (block_[kRangeWord] & bit) != 0;
}

}  // namespace zetra
