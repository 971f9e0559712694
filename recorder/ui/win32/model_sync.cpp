#include "recorder/ui/win32/model_sync.h"

#include <commctrl.h>

#include "platform/win32/utf16.h"
#include "recorder/ui/win32/keys.h"

namespace zetra::ui {

std::wstring edit_text(const std::string& caption) {
  std::wstring text;
  for (wchar_t c : platform::to_utf16(caption)) {
    if (c == L'\n' && (text.empty() || text.back() != L'\r')) text.push_back(L'\r');
    text.push_back(c);
  }
  return text;
}

std::string model_text(const std::wstring& edit) {
  std::wstring text;
  for (size_t k = 0; k < edit.size(); ++k) {
    if (edit[k] == L'\r' && k + 1 < edit.size() && edit[k + 1] == L'\n') continue;
    text.push_back(edit[k]);
  }
  return platform::to_utf8(text);
}

std::string window_text(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return platform::to_utf8(text);
}

ModelSync::ModelSync(HWND main, CentralWindows& windows) : main_(main), windows_(windows) {
  tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main,
                            nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 600);
}

ModelSync::~ModelSync() = default;

namespace {

TTTOOLINFOW tool(HWND main, HWND window, const std::wstring& text) {
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = main;
  info.uId = reinterpret_cast<UINT_PTR>(window);
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  return info;
}

// A button's key has no menu to show it: the tip names it.
std::string tip_text(const Control& c) {
  if (c.shortcut.empty() || c.tool_tip.empty()) return c.tool_tip;
  return c.tool_tip + " (" + menu_key_text(c.shortcut) + ")";
}

}  // namespace

void ModelSync::sync_tip(WindowBinding& b) {
  const std::string tip = tip_text(*b.control);
  if (b.last.shown && b.last.tool_tip == tip) return;
  const std::wstring text = platform::to_utf16(tip);
  TTTOOLINFOW info = tool(main_, b.window, text);
  if (!b.last.shown) {
    if (!tip.empty()) ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else if (b.last.tool_tip.empty()) {
    ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    ::SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  }
  b.last.tool_tip = tip;
}

void ModelSync::sync_common(WindowBinding& b) {
  const Control& c = *b.control;
  if (!b.last.shown || b.last.enabled != c.enabled) ::EnableWindow(b.window, c.enabled);
  if (!b.last.shown || b.last.visible != c.visible) {
    ::ShowWindow(b.window, c.visible ? SW_SHOWNA : SW_HIDE);
  }
  b.last.enabled = c.enabled;
  b.last.visible = c.visible;
  sync_tip(b);
}

namespace {

// The full range is reachable: no page size (which would shorten it); the steps are the view's.
void sync_scroll_bar(WindowBinding& b) {
  const Control& c = *b.control;
  Shown& last = b.last;
  if (last.shown && last.minimum == c.minimum && last.maximum == c.maximum &&
      last.value == c.value) {
    return;
  }
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = c.minimum;
  info.nMax = c.maximum;
  info.nPos = c.value;
  ::SetScrollInfo(b.window, SB_CTL, &info, TRUE);
  last.minimum = c.minimum;
  last.maximum = c.maximum;
  last.value = c.value;
}

// The hidden scratch box can hold a whole recording as text: it is mirrored only when shown.
void sync_text_box(WindowBinding& b) {
  const Control& c = *b.control;
  if (!c.visible) return;
  const std::wstring text = edit_text(c.caption);
  const int length = ::GetWindowTextLengthW(b.window);
  std::wstring shown(static_cast<size_t>(length) + 1, L'\0');
  shown.resize(static_cast<size_t>(::GetWindowTextW(b.window, shown.data(), length + 1)));
  if (shown != text) ::SetWindowTextW(b.window, text.c_str());
}

}  // namespace

// True when a label's text changed, so that its panel lays its row out anew.
bool ModelSync::sync_content(WindowBinding& b) {
  const Control& c = *b.control;
  const bool caption_changed = !b.last.shown || b.last.caption != c.caption;
  switch (c.kind) {
    case ControlKind::Button:
      if (caption_changed) ::SetWindowTextW(b.window, display_text(c.caption).c_str());
      break;
    case ControlKind::Label:
      if (caption_changed) ::SetWindowTextW(b.window, platform::to_utf16(c.caption).c_str());
      break;
    case ControlKind::TextBox: sync_text_box(b); break;
    case ControlKind::ScrollBar: sync_scroll_bar(b); break;
    case ControlKind::StatusBar:
      if (caption_changed) {
        ::SendMessageW(b.window, SB_SETTEXTW, 0,
                       reinterpret_cast<LPARAM>(platform::to_utf16(c.caption).c_str()));
      }
      break;
    default: break;
  }
  b.last.caption = c.caption;
  return caption_changed && (c.kind == ControlKind::Label || c.kind == ControlKind::Button);
}

std::set<std::string> ModelSync::sync() {
  std::set<std::string> relayout;
  for (WindowBinding& b : windows_.bindings) {
    if (sync_content(b) && !b.control->parent.empty()) relayout.insert(b.control->parent);
    sync_common(b);
    b.last.shown = true;
  }
  return relayout;
}

}  // namespace zetra::ui
