#include "recorder/ui/win32/ui_fonts.h"

namespace zetra::ui {

bool is_readout(const std::string& n) {
  return n == "t1" || n == "t2" || n == "t4" || n == "t12" || n == "t22" || n == "t42";
}
bool is_main_readout(const std::string& n) { return n == "t2" || n == "t22"; }
bool is_channel_title(const std::string& n) {
  return n == "tch" || n == "tch2" || n == "lnvs1" || n == "lnvs2" || n == "lnvs12" || n == "lnvs22";
}

UiFonts::~UiFonts() { release(); }

void UiFonts::release() {
  for (HFONT* font : {&normal_, &bold_, &readout_, &main_readout_}) {
    if (*font) ::DeleteObject(*font);
    *font = nullptr;
  }
}

void UiFonts::make(int dpi) {
  release();
  dpi_ = dpi > 0 ? dpi : 96;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTW base{};
  if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                   static_cast<UINT>(dpi_))) {
    base = metrics.lfMessageFont;
  } else {
    base.lfHeight = -MulDiv(9, dpi_, 72);
    wcscpy(base.lfFaceName, L"Segoe UI");
  }
  normal_ = ::CreateFontIndirectW(&base);
  LOGFONTW bold = base;
  bold.lfWeight = FW_BOLD;
  bold_ = ::CreateFontIndirectW(&bold);
  LOGFONTW fixed = base;
  fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  wcscpy(fixed.lfFaceName, L"Courier New");
  readout_ = ::CreateFontIndirectW(&fixed);
  fixed.lfHeight = -MulDiv(16, dpi_, 72);
  fixed.lfWeight = FW_BOLD;
  main_readout_ = ::CreateFontIndirectW(&fixed);
}

HFONT UiFonts::for_control(const std::string& name) const {
  if (is_main_readout(name)) return main_readout_;
  if (is_readout(name)) return readout_;
  if (is_channel_title(name)) return bold_;
  return normal_;
}

}  // namespace zetra::ui
