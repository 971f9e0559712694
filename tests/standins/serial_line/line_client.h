// The program's side of the modem-line exchange, step for step as the acquisition tick drives
// it, but collecting the bits as exact integers so tests can compare them with the meter's words.
#pragma once

#include <array>

#include "platform/serial_port.h"
#include "standins/meter/sample_words.h"

namespace zetra::standins::testing {

struct TickRead {
  bool busy = false;
  SampleWords words;                      // data bits as presented (not gated by the lead bit)
  std::array<bool, kChannels> second_dsr{};  // the second DSR sample of each channel
};

// Connect: four groups of (RTS, DTR, break), then RTS high and break on.
inline void connect_lines(platform::SerialPort& port) {
  for (int group = 0; group < 4; ++group) {
    const bool rts = group % 2 == 1;
    port.set_rts(rts);
    port.set_dtr(!rts);
    port.set_break(true);
  }
  port.set_rts(true);
  port.set_break(true);
}

// Ready test: samples CTS and CD; either high means busy.
inline bool poll_busy(platform::SerialPort& port) {
  const bool cts = port.cts();
  const bool cd = port.cd();
  return cts || cd;
}

// Samples CTS/CD for both channels into the given bit of the words (-1 = lead bit).
inline void sample_bit(platform::SerialPort& port, SampleWords& words, int bit) {
  for (int ch = 0; ch < kChannels; ++ch) {
    port.set_rts(ch == 0);
    port.set_break(true);
    MeterWord* line[2] = {&words.channel[ch].current, &words.channel[ch].temperature};
    const bool level[2] = {port.cts(), port.cd()};
    for (int k = 0; k < 2; ++k) {
      if (bit < 0) line[k]->lead = level[k];
      if (bit >= 0 && level[k]) line[k]->data |= 1u << bit;
    }
  }
}

// Start sequence, lead bits, 29 clocked data bits, final DTR low, then two DSR samples per
// channel (RTS high for CH1, low for CH2).
inline TickRead read_words(platform::SerialPort& port) {
  TickRead read;
  for (bool level : {true, false, true, false, true}) port.set_dtr(level);
  sample_bit(port, read.words, -1);
  for (int bit = kDataBits - 1; bit >= 0; --bit) {
    port.set_dtr(false);
    port.set_dtr(true);
    sample_bit(port, read.words, bit);
  }
  port.set_dtr(false);
  for (int ch = 0; ch < kChannels; ++ch) {
    port.set_rts(ch == 0);
    port.set_break(true);
    read.words.channel[ch].high_range = port.dsr();
    read.second_dsr[ch] = port.dsr();
  }
  return read;
}

inline TickRead run_tick(platform::SerialPort& port) {
  if (poll_busy(port)) {
    TickRead busy;
    busy.busy = true;
    return busy;
  }
  return read_words(port);
}

}  // namespace zetra::standins::testing
