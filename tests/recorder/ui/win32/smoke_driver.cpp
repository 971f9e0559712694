// Drives a running zetra.exe from another process as a user or a tool would, by the captions of
// its controls: `wait` until the window is up with its buttons, then `drive`: every button of
// the row by caption, the status bar's text, On (which reports the failed connect when no unit
// answers, answered with OK), and closing, whose exit question is answered No.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring text_of(HWND window) {
  wchar_t text[512] = L"";
  ::SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

std::wstring class_of(HWND window) {
  wchar_t name[64] = L"";
  ::GetClassNameW(window, name, 64);
  return name;
}

struct Search {
  std::wstring caption, window_class;
  HWND found = nullptr;
};

BOOL CALLBACK match(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if ((search->caption.empty() || text_of(child) == search->caption) &&
      (search->window_class.empty() || class_of(child) == search->window_class)) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

HWND child(HWND parent, const std::wstring& caption, const std::wstring& window_class = L"") {
  Search search{caption, window_class};
  ::EnumChildWindows(parent, match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND wait_for(const wchar_t* window_class, HWND owner = nullptr) {
  for (int tries = 0; tries < 300; ++tries) {
    HWND found = nullptr;
    while ((found = ::FindWindowExW(nullptr, found, window_class, nullptr)) != nullptr) {
      if (::IsWindowVisible(found) && (!owner || ::GetWindow(found, GW_OWNER) == owner)) {
        return found;
      }
    }
    ::Sleep(100);
  }
  return nullptr;
}

int failures = 0;
void check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  if (!ok) ++failures;
}

// A message box of the window: its text, then the button `answer` pressed.
std::wstring answer_box(HWND main, int answer) {
  HWND box = wait_for(L"#32770", main);
  if (!box) return L"<no message box>";
  std::wstring text;
  if (HWND label = ::GetDlgItem(box, 0xFFFF)) text = text_of(label);
  if (text.empty()) {
    if (HWND label = child(box, L"", L"Static")) text = text_of(label);
  }
  ::SendMessageW(::GetDlgItem(box, answer), BM_CLICK, 0, 0);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"drive";
  HWND main = wait_for(L"ZetraMainWindow");
  check(main != nullptr, "the main window is up");
  if (!main) return 1;
  check(text_of(main).rfind(L"ZetraII [ ", 0) == 0, "the title names the recording");
  for (const wchar_t* caption : {L"Open", L"Save", L"Cut", L"Copy", L"Paste", L"Delete",
                                 L"Print", L"On", L"Rec", L"exam", L"Mkr", L"Zero", L"Off Z",
                                 L"Conv"}) {
    check(child(main, caption, L"Button") != nullptr,
          "a button reads " + std::string(caption, caption + wcslen(caption)));
  }
  if (mode == L"wait") return failures == 0 ? 0 : 1;

  HWND status = child(main, L"", L"msctls_statusbar32");
  check(status && text_of(status).rfind(L"DIV:", 0) == 0, "the status bar shows the scales");
  check(child(main, L"CH1", L"Static") != nullptr, "the CH1 panel is titled");
  check(!::IsWindowEnabled(child(main, L"Rec", L"Button")), "Rec waits for the link");

  ::PostMessageW(child(main, L"On", L"Button"), BM_CLICK, 0, 0);
  const std::wstring failed = answer_box(main, IDOK);
  check(!failed.empty() && failed != L"<no message box>", "On without a unit says why");
  ::Sleep(200);
  check(child(main, L"On", L"Button") != nullptr, "the link stays off");

  ::PostMessageW(main, WM_CLOSE, 0, 0);
  const std::wstring question = answer_box(main, IDNO);
  check(question == L"Save data before exit?", "closing asks whether to save");
  for (int tries = 0; tries < 100 && ::IsWindow(main); ++tries) ::Sleep(100);
  check(!::IsWindow(main), "No ends the program");
  std::printf("%d passed, %d failed\n", 19 - failures, failures);
  return failures == 0 ? 0 : 1;
}
