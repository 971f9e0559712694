// The real Win32 window in-process on the stand-in base unit: every control is a window or a
// menu item of its name's id, menu checks and enabled states read from the real HMENU, scroll
// bars from their controls; a user's run (On, Rec, marker, Stop, exam, select, Copy, Save, Open,
// Undo, the unsaved-changes question) driven by the messages a click sends.
#include "recorder/ui/win32/main_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>

#include "platform/win32/utf16.h"
#include "platform/pdf/pdf_printer.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_printer.h"
#include "platform/win32/win32_surface.h"
#include "recorder/ui/win32/keys.h"
#include "standins/base_unit/base_unit_library.h"
#include "standins/meter/scripted_meter.h"
#include "standins/serial_line/fake_serial_port.h"
#include "tests/support/counting_pause.h"
#include "tests/support/scripted_dialogs.h"

namespace zetra::ui {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path fresh_folder() {
  std::random_device random;
  fs::path folder = fs::temp_directory_path() / ("zetra-ui-" + std::to_string(random()));
  fs::create_directories(folder);
  return folder;
}

std::wstring clipboard_text() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  Win32WindowTest()
      : recorder(Platform{serial, library, dialogs, pause, clipboard, utf8(folder), &printer},
                 ChartSurfaces{&chart_surface, &window_layer}) {
    recorder.start();
    window = std::make_unique<MainWindow>(recorder, chart_surface, window_layer);
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    clipboard.set_owner(window->handle());
  }
  ~Win32WindowTest() override {
    window.reset();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  WindowModel& model() { return recorder.window(); }
  HWND control(const char* name) {
    HWND w = window->window_of(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // A click as the mouse gives it: nothing happens on a disabled button.
  void click(const char* name) { ::SendMessageW(control(name), BM_CLICK, 0, 0); }
  void choose(const char* item) {
    ::SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(window->command_of(item), 0), 0);
  }
  UINT menu_state(const char* item) {
    return ::GetMenuState(window->menu_bar(), window->command_of(item), MF_BYCOMMAND);
  }
  std::string text(const char* name) { return window_text(control(name)); }
  void tick(const char* timer) {
    if (!model()[timer].enabled) return;
    recorder.tick(timer);
    window->sync();
  }
  void mouse(UINT message, int x, int y) {
    ::SendMessageW(control("p1"), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                   MAKELPARAM(x, y));
  }

  fs::path folder = fresh_folder();
  standins::ScriptedMeter unused_meter;
  standins::FakeSerialPort serial{unused_meter};
  standins::BaseUnitLibrary library{11};
  testing::ScriptedDialogs dialogs;
  testing::CountingPause pause;
  platform::Win32Clipboard clipboard;
  // Print to PDF through the program's own PDF writer: Wine has no printer.
  platform::Win32Printer printer{[](const std::string& path) {
    return std::make_unique<platform::PdfPrinter>(path);
  }};
  platform::Win32Surface chart_surface;
  platform::Win32Surface window_layer;
  Recorder recorder;
  std::unique_ptr<MainWindow> window;
};

// Every control of the model has its window (or menu entry) under its command id, showing its
// caption, enabled state and check mark; the title, scroll bars and timers mirror the model.
TEST_F(Win32WindowTest, EveryControlIsMirrored) {
  for (const Control* c : model().controls()) {
    const char* name = c->name.c_str();
    switch (c->kind) {
      case ControlKind::Menu:
      case ControlKind::MenuItem:
      case ControlKind::Separator: {
        if (!c->visible) break;
        const UINT state = menu_state(name);
        ASSERT_NE(state, static_cast<UINT>(-1)) << name;
        if (c->kind == ControlKind::Separator) break;
        EXPECT_EQ((state & MF_GRAYED) != 0, !c->enabled) << name;
        if (c->kind == ControlKind::MenuItem) {
          EXPECT_EQ((state & MF_CHECKED) != 0, c->checked) << name;
        }
        break;
      }
      case ControlKind::Timer: break;
      default: {
        HWND w = control(name);
        EXPECT_EQ(::IsWindowEnabled(w) != FALSE, c->enabled) << name;
        if (c->kind == ControlKind::Button) {
          EXPECT_EQ(window_text(w), c->caption) << name;
        }
        if (c->kind == ControlKind::Label && c->parent != "st1") {
          EXPECT_EQ(window_text(w), c->caption) << name;
        }
        if (c->kind != ControlKind::StatusBar && c->parent != "st1") {
          EXPECT_EQ(::GetDlgCtrlID(w), static_cast<int>(window->command_of(name))) << name;
        }
      }
    }
  }
  EXPECT_EQ(window_text(window->handle()), recorder.state().window_caption);
  for (const char* bar : {"nhs1", "nvs1", "nvs2", "nvs12", "nvs22"}) {
    SCROLLINFO info{sizeof(info), SIF_ALL};
    ASSERT_TRUE(::GetScrollInfo(control(bar), SB_CTL, &info));
    EXPECT_EQ(info.nMin, model()[bar].minimum) << bar;
    EXPECT_EQ(info.nMax, model()[bar].maximum) << bar;
    EXPECT_EQ(info.nPos, model()[bar].value) << bar;
  }
  EXPECT_FALSE(window->timers().running(0));  // Timer1 waits for the link
  EXPECT_TRUE(window->timers().running(1));
  EXPECT_EQ(window->timers().interval_ms(2), model()["Timer3"].interval_ms);
  EXPECT_EQ(window->accessibility().name_of(control("nvs1")), "CH1 offset");
  EXPECT_EQ(window->accessibility().name_of(control("t2")).rfind("CH1 current: ", 0), 0u);
}

// A radio group keeps one check as the user chooses; a hidden item leaves the bar and comes back.
TEST_F(Win32WindowTest, MenuGroupsAndVisibilityFollowTheModel) {
  choose("pusb2");
  EXPECT_TRUE(menu_state("pusb2") & MF_CHECKED);
  EXPECT_FALSE(menu_state("pusb1") & MF_CHECKED);
  EXPECT_FALSE(menu_state("pcom1") & MF_CHECKED);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE;
  ASSERT_TRUE(::GetMenuItemInfoW(window->menu_bar(), window->command_of("pusb2"), FALSE, &info));
  EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
  model()["pusb3"].visible = false;
  window->sync();
  EXPECT_EQ(menu_state("pusb3"), static_cast<UINT>(-1));
  model()["pusb3"].visible = true;
  window->sync();
  EXPECT_NE(menu_state("pusb3"), static_cast<UINT>(-1));
}

// On, Rec with a marker, examine and back, Stop; a selection dragged on the chart; Copy puts
// the very text the recorder made (the same on every system) on the clipboard as Unicode; Save,
// a change, Undo, and the question before Open throws the changes away; Open reads it back.
TEST_F(Win32WindowTest, RecordSelectCopySaveUndoAndReopen) {
  choose("pusb1");
  click("conoff");
  ASSERT_EQ(text("conoff"), "Off");
  EXPECT_TRUE(window->timers().running(0));
  click("crec");
  ASSERT_EQ(text("crec"), "Stop");
  EXPECT_TRUE(::IsWindowEnabled(control("cmarker")));
  for (int n = 1; n <= 120; ++n) {
    tick("Timer1");
    if (n == 60) click("cmarker");
    if (n % 4 == 0) tick("Timer2");
    if (n % 7 == 0) tick("Timer3");
  }
  EXPECT_EQ(recorder.state().rec_next, 121.0f);
  EXPECT_NE(text("t2").find(" pA"), std::string::npos);
  EXPECT_NE(text("t4").find("\xC2\xB0" "C"), std::string::npos);
  click("cre");
  EXPECT_EQ(text("cre"), "norm");
  click("cre");
  click("crec");
  ASSERT_EQ(text("crec"), "Rec");
  EXPECT_FALSE(window->timers().running(1));  // the live plotter rests

  RECT chart;
  ::GetClientRect(control("p1"), &chart);
  // Samples 10 to 80 of the recording, as pixels of the chart.
  const auto pixel = [&](float sample) {
    const RecorderState& state = recorder.state();
    return static_cast<int>((sample - state.view_start) / state.view_width * chart.right);
  };
  mouse(WM_LBUTTONDOWN, pixel(10), chart.bottom / 2);
  mouse(WM_MOUSEMOVE, pixel(80), chart.bottom / 2);
  mouse(WM_LBUTTONUP, pixel(80), chart.bottom / 2);
  EXPECT_NE(recorder.state().sel_start, recorder.state().sel_end);
  click("ccopy");
  const std::wstring copied = clipboard_text();
  EXPECT_EQ(copied.rfind(L"   Time\t", 0), 0u) << platform::to_utf8(copied);
  EXPECT_NE(copied.find(L"\u00B0C"), std::wstring::npos);
  EXPECT_NE(copied.find(L"\r\n"), std::wstring::npos);
  EXPECT_GE(std::count(copied.begin(), copied.end(), L'\n'), 60);

  const fs::path file = folder / u8"M\u00FCller \u4E2D.ztr";
  dialogs.file_answers.push_back(utf8(file));
  choose("psaveas");
  ASSERT_TRUE(fs::exists(file)) << (dialogs.messages.empty() ? "" : dialogs.messages.back().text);
  EXPECT_NE(window_text(window->handle()).find("M\xC3\xBCller"), std::string::npos)
      << window_text(window->handle());
  const float saved = recorder.state().rec_next;
  click("cdeleta");  // the selection goes
  EXPECT_LT(recorder.state().rec_next, saved);
  EXPECT_FALSE(menu_state("pundo") & MF_GRAYED);
  choose("pundo");
  EXPECT_EQ(recorder.state().rec_next, saved);
  click("cdeleta");
  const size_t asked = dialogs.messages.size();
  dialogs.message_answers.push_back(platform::MessageAnswer::No);  // discard the delete
  dialogs.file_answers.push_back(utf8(file));
  click("copen");
  ASSERT_EQ(dialogs.messages.size(), asked + 1);
  EXPECT_EQ(dialogs.messages.back().buttons, platform::MessageButtons::YesNoCancel);
  EXPECT_EQ(recorder.state().rec_next, saved);  // the file as saved

  // Print to PDF with no printer installed: a PDF file with the chart's page.
  const fs::path pdf = folder / "chart.pdf";
  dialogs.file_answers.push_back(utf8(pdf));
  choose("ppdf");
  std::ifstream in(pdf, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string document = bytes.str();
  EXPECT_EQ(document.rfind("%PDF-", 0), 0u);
  size_t pages = 0;
  for (size_t at = document.find("/Type /Page"); at != std::string::npos;
       at = document.find("/Type /Page", at + 1)) {
    pages += document.compare(at, 12, "/Type /Pages") != 0;
  }
  EXPECT_GE(pages, 1u);
}

// The close box asks the exit question over unsaved changes; Cancel keeps the window, No ends it.
TEST_F(Win32WindowTest, ClosingAsksThroughTheExitCommand) {
  bool ended = false;
  recorder.procedures().end_program = [&] {
    ended = true;
    window->end_program();
  };
  ++recorder.state().revision;  // an unsaved change: without one, closing asks nothing
  dialogs.message_answers.push_back(platform::MessageAnswer::Cancel);
  ::SendMessageW(window->handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Exit Zetra");
  EXPECT_TRUE(::IsWindow(window->handle()));
  dialogs.message_answers.push_back(platform::MessageAnswer::No);
  ::SendMessageW(window->handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(::IsWindow(window->handle()));
}

// Scroll messages move the model by the bar's steps; the model's own changes post no move.
TEST_F(Win32WindowTest, ScrollBarsMoveByTheirSteps) {
  const int before = model()["nvs1"].value;
  ::SendMessageW(window->handle(), WM_VSCROLL, SB_PAGEDOWN,
                 reinterpret_cast<LPARAM>(control("nvs1")));
  EXPECT_EQ(model()["nvs1"].value, before + model()["nvs1"].large_change);
  ::SendMessageW(window->handle(), WM_VSCROLL, SB_LINEUP,
                 reinterpret_cast<LPARAM>(control("nvs1")));
  EXPECT_EQ(model()["nvs1"].value, before + model()["nvs1"].large_change -
                                       model()["nvs1"].small_change);
  ::SendMessageW(window->handle(), WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(control("nvs1")));
  EXPECT_EQ(model()["nvs1"].value, model()["nvs1"].minimum);
  EXPECT_EQ(::GetScrollPos(control("nvs1"), SB_CTL), model()["nvs1"].minimum);
}

// Enter in a calibration box converts and hides the boxes; the focus stays with that channel's
// Conv button, so a following Space cannot zero the other channel. The vertical bars carry their
// captions above them.
TEST_F(Win32WindowTest, EnterInACalibrationBoxKeepsTheFocusOnConvAndBarsHaveCaptions) {
  click("conoff");
  ASSERT_EQ(model()["conoff"].caption, "Off");
  click("ccal2");
  ASSERT_TRUE(::IsWindowVisible(control("ct12")));
  ::SetForegroundWindow(window->handle());
  ::SetFocus(control("ct12"));
  ::SendMessageW(window->handle(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  EXPECT_FALSE(::IsWindowVisible(control("ct12")));
  EXPECT_EQ(::GetFocus(), control("ccal2"));
  EXPECT_NE(::GetFocus(), control("czero2"));

  const std::pair<const char*, const char*> captions[] = {
      {"lnvs1", "nvs1"}, {"lnvs2", "nvs2"}, {"lnvs12", "nvs12"}, {"lnvs22", "nvs22"}};
  for (const auto& [caption, bar] : captions) {
    EXPECT_EQ(text(caption), model()[caption].caption);
    RECT c{}, b{};
    ::GetWindowRect(control(caption), &c);
    ::GetWindowRect(control(bar), &b);
    EXPECT_LE(c.bottom, b.top) << caption;
    EXPECT_LT(c.left, (b.left + b.right) / 2) << caption;
    EXPECT_GT(c.right, (b.left + b.right) / 2) << caption;
  }
}

// Children sit where the layout's twips say at the monitor's DPI (96 or a prefix's 144), and the
// surfaces hold as many pixels as their windows show.
TEST_F(Win32WindowTest, LayoutInTwipsAtTheMonitorsDpi) {
  const int dpi = window->dpi();
  EXPECT_EQ(dpi, static_cast<int>(::GetDpiForWindow(window->handle())));
  if (const char* expected = std::getenv("ZETRA_EXPECTED_DPI")) {
    EXPECT_EQ(dpi, std::atoi(expected));
  }
  const auto pixels = [dpi](float twips) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
  };
  const platform::TwipsRect placed = chart_surface.placement_twips();
  RECT chart;
  ::GetWindowRect(control("p1"), &chart);
  EXPECT_NEAR(chart.right - chart.left, pixels(placed.width), 1);
  EXPECT_NEAR(chart.bottom - chart.top, pixels(placed.height), 1);
  EXPECT_EQ(chart_surface.width(), chart.right - chart.left);
  EXPECT_EQ(chart_surface.dpi(), dpi);
  RECT client;
  ::GetClientRect(window->handle(), &client);
  EXPECT_EQ(window_layer.width(), client.right);
  // The smallest window is 9000 x 7000 twips at any DPI.
  ::SetWindowPos(window->handle(), nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
  RECT least;
  ::GetWindowRect(window->handle(), &least);
  EXPECT_GE((least.right - least.left) * 1440.0 / dpi, 9000 - 15);
  EXPECT_GE((least.bottom - least.top) * 1440.0 / dpi, 7000 - 15);
}

// The key texts of the model as accelerators; the keys a text box keeps for itself.
TEST(Win32Keys, ShortcutTextsBecomeAccelerators) {
  const auto save_as = accelerator("Ctrl+Shift+S", 7);
  ASSERT_TRUE(save_as);
  EXPECT_EQ(save_as->key, 'S');
  EXPECT_EQ(save_as->fVirt, FVIRTKEY | FCONTROL | FSHIFT);
  EXPECT_EQ(save_as->cmd, 7);
  EXPECT_EQ(accelerator("F1", 1)->key, VK_F1);
  EXPECT_EQ(accelerator("Del", 1)->key, VK_DELETE);
  EXPECT_EQ(accelerator("Del", 1)->fVirt, FVIRTKEY);
  EXPECT_FALSE(accelerator("Hyper+Q", 1));
  const std::vector<ACCEL> redo = accelerators("Ctrl+Shift+Z; Ctrl+Y", 9);
  ASSERT_EQ(redo.size(), 2u);
  EXPECT_EQ(redo[1].key, 'Y');
  EXPECT_EQ(menu_key_text("Ctrl+Shift+Z; Ctrl+Y"), "Ctrl+Shift+Z");
  EXPECT_TRUE(text_box_key(*accelerator("Del", 1)));
  EXPECT_TRUE(text_box_key(*accelerator("Ctrl+C", 1)));
  EXPECT_FALSE(text_box_key(*accelerator("Ctrl+S", 1)));
  EXPECT_FALSE(text_box_key(*accelerator("F1", 1)));
}

}  // namespace
}  // namespace zetra::ui
