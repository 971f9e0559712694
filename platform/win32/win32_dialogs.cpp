// Message boxes map the interface's icons and buttons onto MessageBoxW's; the file dialogs leave
// the question whether to replace a file to the recorder, which asks it itself.
#include "platform/win32/win32_dialogs.h"

#include <commdlg.h>

#include "platform/win32/dialog_template.h"
#include "platform/win32/utf16.h"

namespace zetra::platform {
namespace {

UINT icon_flags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Exclamation: return MB_ICONWARNING;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::Critical: return MB_ICONERROR;
    case MessageIcon::None: break;
  }
  return 0;
}

UINT button_flags(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MB_OK;
    case MessageButtons::OkCancel: return MB_OKCANCEL;
    case MessageButtons::YesNoCancel: return MB_YESNOCANCEL;
    case MessageButtons::YesNo: return MB_YESNO;
  }
  return MB_OK;
}

MessageAnswer answer(int button) {
  switch (button) {
    case IDOK: return MessageAnswer::Ok;
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    default: return MessageAnswer::Cancel;  // Cancel, Escape or the close box
  }
}

// What the input box and the chooser show and hand back.
struct DialogData {
  std::wstring text;                // input box: default, then the answer
  std::vector<std::wstring> items;  // chooser
  int current = -1;                 // chooser: chosen at first, then the answer
};

void read_answer(HWND dialog, DialogData& data) {
  if (HWND edit = ::GetDlgItem(dialog, kInputBoxEdit)) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    data.text = text;
  }
  if (HWND list = ::GetDlgItem(dialog, kChooserList)) {
    data.current = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
  }
}

void fill(HWND dialog, const DialogData& data) {
  if (HWND edit = ::GetDlgItem(dialog, kInputBoxEdit)) {
    ::SetWindowTextW(edit, data.text.c_str());
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
  }
  if (HWND list = ::GetDlgItem(dialog, kChooserList)) {
    for (const std::wstring& item : data.items) {
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(data.current < 0 ? 0 : data.current), 0);
  }
}

INT_PTR CALLBACK dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      fill(dialog, *reinterpret_cast<DialogData*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      auto* data = reinterpret_cast<DialogData*>(::GetWindowLongPtrW(dialog, DWLP_USER));
      const bool double_click = LOWORD(wparam) == kChooserList && HIWORD(wparam) == LBN_DBLCLK;
      if (LOWORD(wparam) == IDOK || double_click) {
        read_answer(dialog, *data);
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    default: return FALSE;
  }
}

// Prompt above, the box or list below it, OK and Cancel at the foot.
DialogTemplate layout(const std::string& title, const std::string& prompt, bool list) {
  const short height = list ? 150 : 78;
  DialogTemplate t(to_utf16(title), 220, height);
  t.add(kStaticClass, kInputBoxPrompt, to_utf16(prompt), SS_LEFT, 7, 7, 206, list ? 16 : 24);
  if (list) {
    t.add(kListBoxClass, kChooserList, L"",
          WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 7, 26, 206, 96);
  } else {
    t.add(kEditClass, kInputBoxEdit, L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 34, 206, 14);
  }
  t.add(kButtonClass, IDOK, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 109, height - 21, 50, 14);
  t.add(kButtonClass, IDCANCEL, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 163, height - 21, 50, 14);
  return t;
}

}  // namespace

std::wstring file_filter(const std::string& filter) {
  std::wstring result;
  // label|pattern pairs: the label as the dialog shows it (its pattern named once), the pattern.
  for (size_t at = 0; at < filter.size();) {
    const size_t bar = filter.find('|', at);
    if (bar == std::string::npos) break;
    size_t end = filter.find('|', bar + 1);
    if (end == std::string::npos) end = filter.size();
    const std::string pattern = filter.substr(bar + 1, end - bar - 1);
    result += to_utf16(filter_label(filter.substr(at, bar - at), pattern));
    result.push_back(L'\0');
    result += to_utf16(pattern);
    result.push_back(L'\0');
    at = end + 1;
  }
  result.push_back(L'\0');
  return result;
}

MessageAnswer Win32Dialogs::message_box(const std::string& text, const std::string& title,
                                        MessageIcon icon, MessageButtons buttons) {
  const UINT flags = icon_flags(icon) | button_flags(buttons) | (owner_ ? 0u : MB_TASKMODAL);
  return answer(::MessageBoxW(owner_, to_utf16(text).c_str(), to_utf16(title).c_str(), flags));
}

std::string Win32Dialogs::input_box(const std::string& prompt, const std::string& title,
                                    const std::string& default_text) {
  DialogData data;
  data.text = to_utf16(default_text);
  const DialogTemplate t = layout(title, prompt, false);
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), owner_,
                                                   dialog_proc, reinterpret_cast<LPARAM>(&data));
  return result == IDOK ? to_utf8(data.text) : std::string();
}

int Win32Dialogs::choose_item(const std::string& prompt, const std::string& title,
                              const std::vector<std::string>& items, int current) {
  DialogData data;
  for (const std::string& item : items) data.items.push_back(to_utf16(item));
  data.current = current;
  const DialogTemplate t = layout(title, prompt, true);
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.get(), owner_,
                                                   dialog_proc, reinterpret_cast<LPARAM>(&data));
  if (result != IDOK || data.current < 0 || data.current >= static_cast<int>(items.size())) {
    return -1;
  }
  return data.current;
}

std::string Win32Dialogs::file_dialog(bool save, const std::string& title,
                                      const std::string& filter,
                                      const std::string& default_extension,
                                      const std::string& initial_name) {
  std::wstring name = to_utf16(initial_name);
  name.resize(32768, L'\0');  // the longest path the system takes
  const std::wstring wide_title = to_utf16(title), wide_filter = file_filter(filter),
                     extension = to_utf16(default_extension);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner_;
  ofn.lpstrFilter = wide_filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrTitle = wide_title.c_str();
  ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  // New names a file still to be written through the open dialog: any name goes there too.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
  const BOOL chosen = save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
  if (!chosen) return {};
  name.resize(name.find(L'\0'));
  return to_utf8(name);
}

std::string Win32Dialogs::open_file(const std::string& title, const std::string& filter,
                                    const std::string& default_extension,
                                    const std::string& initial_name) {
  return file_dialog(false, title, filter, default_extension, initial_name);
}

std::string Win32Dialogs::save_file(const std::string& title, const std::string& filter,
                                    const std::string& default_extension,
                                    const std::string& initial_name) {
  return file_dialog(true, title, filter, default_extension, initial_name);
}

// COLORREF is the recorder's own packing: blue x 65536 + green x 256 + red.
bool Win32Dialogs::choose_colour(uint32_t start, uint32_t& chosen) {
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof(cc);
  cc.hwndOwner = owner_;
  cc.rgbResult = start & 0xFFFFFFu;
  cc.lpCustColors = custom_colours_;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!::ChooseColorW(&cc)) return false;
  chosen = cc.rgbResult & 0xFFFFFFu;
  return true;
}

}  // namespace zetra::platform
