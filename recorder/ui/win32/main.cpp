// zetra.exe: the recorder program on Windows. Puts the platform together, starts the recorder and
// shows its window; arguments arrive as UTF-16 and are read as UTF-8 like everywhere else.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/pdf/pdf_printer.h"
#include "platform/win32/data_folder.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_clipboard.h"
#include "platform/win32/win32_device_library.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_pause.h"
#include "platform/win32/win32_printer.h"
#include "platform/win32/win32_serial_port.h"
#include "platform/win32/win32_surface.h"
#include "platform/win32/win32_window_frame.h"
#include "recorder/app/about.h"
#include "recorder/app/command_line.h"
#include "recorder/app/recorder.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/files/recording_commands.h"
#include "recorder/ui/win32/main_window.h"

namespace {

// A program without a console prints its help into the console it was started from, if any;
// otherwise the text shows in a message box.
void show_output(const std::string& text, bool failed) {
  const std::wstring wide = zetra::platform::to_utf16(text);
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    HANDLE out = ::GetStdHandle(failed ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (!::WriteConsoleW(out, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return;
  }
  ::MessageBoxW(nullptr, wide.c_str(), L"zetra", failed ? MB_ICONERROR : MB_ICONINFORMATION);
}

std::vector<std::string> arguments() {
  std::vector<std::string> result;
  int count = 0;
  wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int k = 0; k < count; ++k) result.push_back(zetra::platform::to_utf8(list[k]));
  ::LocalFree(list);
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const zetra::StartOptions options = zetra::read_command_line(arguments());
  if (options.action != zetra::StartOptions::Action::Run) {
    const bool failed = options.action == zetra::StartOptions::Action::Error;
    show_output(options.output, failed);
    return failed ? 2 : 0;
  }
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  const std::string folder = zetra::platform::program_folder();
  // Settings, the default recording and the journal: beside the program when it may write there.
  const std::string data_folder = zetra::platform::choose_data_folder(folder);
  zetra::platform::Win32SerialPort serial_port;
  // The simulated unit only when asked for: it never stands in for the base unit's own library.
  zetra::platform::Win32DeviceLibrary device_library(options.demo_unit ? L"kvwin32-demo.dll"
                                                                       : L"kvwin32.dll");
  zetra::platform::Win32Dialogs dialogs;
  zetra::platform::Win32Pause pause;
  zetra::platform::Win32Clipboard clipboard;
  // Print to PDF writes the file itself, so it works with no printer installed.
  zetra::platform::Win32Printer printer([](const std::string& pdf_path) {
    return std::make_unique<zetra::platform::PdfPrinter>(pdf_path);
  });
  zetra::platform::Win32WindowFrame frame;
  zetra::platform::Win32Surface chart_surface;
  zetra::platform::Win32Surface window_layer;
  zetra::Recorder recorder(zetra::Platform{serial_port, device_library, dialogs, pause, clipboard,
                                           folder, &printer, &frame, data_folder},
                           zetra::ChartSurfaces{&chart_surface, &window_layer});
  recorder.start_up();
  zetra::ui::MainWindow window(recorder, chart_surface, window_layer);
  window.quit_on_destroy();
  dialogs.set_owner(window.handle());
  printer.set_owner(window.handle());
  clipboard.set_owner(window.handle());
  frame.attach(window.handle());  // the settings file's geometry, read at start-up, applies now
  recorder.procedures().end_program = [&window] { window.end_program(); };
  window.on_end_session = [&recorder] { recorder.end_session(); };
  ::ShowWindow(window.handle(), frame.maximised() ? SW_SHOWMAXIMIZED : show);
  ::UpdateWindow(window.handle());
  // Asked over the shown window, which owns the box, never over another program's.
  recorder.offer_recovery();
  window.sync();
  if (!options.file.empty()) {
    // Once the window is up, so that a message about the file appears over it.
    recorder.files().recording.open_path(options.file);
    window.sync();
  }
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.pre_translate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
