// The Win32 main window: a view of the recorder's window model, as the Qt window is on Linux.
// Every click, menu command, key, edit, scroll, chart mouse event and timer tick goes to the
// model, and the view mirrors the model afterwards; the window holds no behaviour of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win32_surface.h"
#include "recorder/app/recorder.h"
#include "recorder/chart/window_layout.h"
#include "recorder/ui/win32/accessibility.h"
#include "recorder/ui/win32/chart_window.h"
#include "recorder/ui/win32/menu_builder.h"
#include "recorder/ui/win32/model_sync.h"
#include "recorder/ui/win32/ui_fonts.h"
#include "recorder/ui/win32/widget_builder.h"
#include "recorder/ui/win32/window_timers.h"

namespace zetra::ui {

class MainWindow {
 public:
  // `chart` and `layer` are the surfaces the recorder draws the chart and its labels on.
  MainWindow(Recorder& recorder, platform::Win32Surface& chart, platform::Win32Surface& layer);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND handle() const { return window_; }
  // Mirrors the whole model: menus, captions, states, scroll bars, timers, pointer and title.
  void sync();
  // Lets the next close go through; the exit command calls this once it has decided to end.
  void end_program();
  // Accelerators and the keyboard navigation between controls for a message of the loop; true
  // when the message was taken.
  bool pre_translate(MSG& message);
  // Ends the message loop when the window is destroyed (the program; tests keep theirs).
  void quit_on_destroy() { quit_on_destroy_ = true; }
  // What the window does when the system ends the session: the recorder ends without a question.
  std::function<void()> on_end_session;

  // The window that shows a control, the menu bar and a control's
  // command id: for the program's tests and tools.
  HWND window_of(const std::string& name) const;
  HMENU menu_bar() const { return menus_.handle(); }
  UINT command_of(const std::string& name) const { return command_id(model_, name); }
  const WindowTimers& timers() const { return *timers_; }
  const AccessibleNames& accessibility() const { return access_; }
  HWND tool_tips() const { return sync_ ? sync_->tool_tips() : nullptr; }
  int dpi() const { return fonts_.dpi(); }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void build();
  void command(UINT id, UINT code, HWND from);
  void scroll(HWND bar, UINT code);
  void run(const std::string& name);
  void tick(const std::string& timer);
  void text_edited(const Control& control, HWND box);
  bool keep_within_limit(const Control& control, HWND box);
  void enter_in_box();
  ChartMouse chart_mouse(int x, int y, int buttons) const;
  ChartEvents chart_events();
  void repaint_changes();
  void lay_out();
  void apply_layout(const chart::WindowLayout& layout);
  void dpi_changed(int dpi, const RECT& suggested);
  int to_pixels(float twips) const;
  void paint();
  void close();
  void show_help();
  void show_about();
  void make_accelerators();
  LRESULT colour_static(HDC dc, HWND label);

  Recorder& recorder_;
  WindowModel& model_;
  platform::Win32Surface& chart_surface_;
  platform::Win32Surface& layer_surface_;
  HWND window_ = nullptr;
  MenuBar menus_;
  UiFonts fonts_;
  CentralWindows widgets_;
  std::unique_ptr<ChartWindow> chart_;
  std::unique_ptr<ModelSync> sync_;
  std::unique_ptr<WindowTimers> timers_;
  AccessibleNames access_;
  HACCEL accelerators_ = nullptr;
  std::string title_;
  bool closing_ = false;          // set by end_program: the close is no longer questioned
  bool quit_on_destroy_ = false;
  bool laying_out_ = false;       // the layout moves children: their moves start no layout
};

}  // namespace zetra::ui
