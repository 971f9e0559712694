// The fonts of the window at the DPI of its monitor: the system's message font for captions,
// bold for the channel titles, fixed pitch for the readouts (larger for the main readouts).
// Made anew when the window moves to a monitor of another DPI.
#pragma once

#include <windows.h>

#include <string>

namespace zetra::ui {

class UiFonts {
 public:
  UiFonts() = default;
  ~UiFonts();
  UiFonts(const UiFonts&) = delete;
  UiFonts& operator=(const UiFonts&) = delete;

  void make(int dpi);
  int dpi() const { return dpi_; }
  HFONT normal() const { return normal_; }
  // The font a control of this name shows its text in.
  HFONT for_control(const std::string& name) const;
  // Pixels for a length given in pixels at 96 DPI.
  int scaled(int pixels_at_96) const { return MulDiv(pixels_at_96, dpi_, 96); }

 private:
  void release();

  int dpi_ = 96;
  HFONT normal_ = nullptr, bold_ = nullptr, readout_ = nullptr, main_readout_ = nullptr;
};

// Whether a control's text is a readout (fixed pitch) and whether it is one of the main ones.
bool is_readout(const std::string& name);
bool is_main_readout(const std::string& name);
bool is_channel_title(const std::string& name);

}  // namespace zetra::ui
