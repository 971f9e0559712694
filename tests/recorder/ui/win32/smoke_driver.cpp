// Drives a running zetra.exe from another process as a user or a tool would, by the captions of
// its controls: `wait` until the window is up with its buttons; `no-unit`: the status bar, On
// without a device library (the failed connect names it, answered OK), closing; `record`: On and
// Rec with the simulated unit, a marker, live readouts; `finish`: Stop, and the exit question
// answered No.
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

// Clicks a button of the main window by its caption; false when there is none.
bool click(HWND main, const wchar_t* caption) {
  HWND button = child(main, caption, L"Button");
  if (button) ::PostMessageW(button, BM_CLICK, 0, 0);
  return button != nullptr;
}

// Waits until a button reads `caption` (the model's run states show in the captions).
bool wait_caption(HWND main, const wchar_t* caption) {
  for (int tries = 0; tries < 100; ++tries) {
    if (child(main, caption, L"Button")) return true;
    ::Sleep(100);
  }
  return false;
}

// Closes the window; a question that comes is answered `answer`. True once the window is gone.
bool close_window(HWND main, int answer, std::wstring& question) {
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  for (int tries = 0; tries < 100 && ::IsWindow(main); ++tries) {
    if (HWND box = ::FindWindowW(L"#32770", nullptr); box && ::IsWindowVisible(box)) {
      question = answer_box(main, answer);
    }
    ::Sleep(100);
  }
  return !::IsWindow(main);
}

void check_window(HWND main) {
  check(text_of(main).rfind(L"ZetraII [ ", 0) == 0, "the title names the recording");
  for (const wchar_t* caption : {L"Open", L"Save", L"Cut", L"Copy", L"Paste", L"Delete",
                                 L"Print", L"On", L"Rec", L"exam", L"Mkr", L"Zero", L"Off Z", L"Conv"}) {
    check(child(main, caption, L"Button") != nullptr,
          "a button reads " + std::string(caption, caption + wcslen(caption)));
  }
}

// No device library beside the program: On says why and the link stays off.
void without_a_unit(HWND main) {
  HWND status = child(main, L"", L"msctls_statusbar32");
  check(status && text_of(status).rfind(L"DIV:", 0) == 0, "the status bar shows the scales");
  check(child(main, L"CH1", L"Static") != nullptr, "the CH1 panel is titled");
  check(!::IsWindowEnabled(child(main, L"Rec", L"Button")), "Rec waits for the link");
  click(main, L"On");
  const std::wstring failed = answer_box(main, IDOK);
  check(failed.find(L"kvwin32.dll") != std::wstring::npos, "On without a unit names the library");
  ::Sleep(200);
  check(child(main, L"On", L"Button") != nullptr, "the link stays off");
  std::wstring question;
  check(close_window(main, IDNO, question), "the window closes");
  check(question.empty(), "nothing unsaved: closing asks nothing");
}

// The simulated unit: On, Rec and a marker; the readouts come alive.
void record(HWND main) {
  check(click(main, L"On") && wait_caption(main, L"Off"), "On connects: the button reads Off");
  check(click(main, L"Rec") && wait_caption(main, L"Stop"), "Rec records: the button reads Stop");
  ::Sleep(1500);
  check(click(main, L"Mkr"), "a marker");
  ::Sleep(2500);
  check(child(main, L"+000'000.0 pA", L"Static") == nullptr, "the readouts show live values");
}

// Stop, then closing asks whether to save the recording; No ends the program.
void finish(HWND main) {
  check(click(main, L"Stop") && wait_caption(main, L"Rec"), "Stop: the button reads Rec");
  std::wstring question;
  check(close_window(main, IDNO, question), "No ends the program");
  check(question == L"Save data before exit?", "closing asks whether to save");
}

}  // namespace

// Modes: wait (the window is up with its buttons), no-unit, record, finish.
int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"wait";
  HWND main = wait_for(L"ZetraMainWindow");
  check(main != nullptr, "the main window is up");
  if (!main) return 1;
  if (mode == L"wait") check_window(main);
  if (mode == L"no-unit") without_a_unit(main);
  if (mode == L"record") record(main);
  if (mode == L"finish") finish(main);
  std::printf("%ls: %d failed\n", mode.c_str(), failures);
  return failures == 0 ? 0 : 1;
}
