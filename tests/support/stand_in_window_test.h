// A fixture with the real main window offscreen on the stand-in base unit (its own drifting
// meter), fresh program folder, scripted dialogs and memory clipboard.
#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "platform/qt/qt_surface.h"
#include "recorder/app/recorder.h"
#include "recorder/ui/qt/main_window.h"
#include "standins/base_unit/base_unit_library.h"
#include "standins/meter/scripted_meter.h"
#include "standins/serial_line/fake_serial_port.h"
#include "tests/support/counting_pause.h"
#include "tests/support/memory_clipboard.h"
#include "tests/support/scripted_dialogs.h"

namespace zetra::testing {

class StandInWindowTest : public ::testing::Test {
 protected:
  StandInWindowTest(int width, int height)
      : recorder(Platform{serial, library, dialogs, pause, clipboard, folder.path().toStdString()},
                 ChartSurfaces{&chart_surface, &window_layer}) {
    recorder.start();
    window = std::make_unique<ui::MainWindow>(recorder, chart_surface, window_layer);
    window->resize(width, height);
    window->show();
  }

  // The window's child of that object name; a missing one fails the test.
  template <class T>
  T* find(const char* name) {
    T* object = window->findChild<T*>(name);
    EXPECT_NE(object, nullptr) << name;
    return object;
  }
  void click(const char* name) { find<QPushButton>(name)->click(); }

  // A tick of a running timer, as the real timer would deliver it.
  void tick(const char* timer) {
    if (!recorder.window()[timer].enabled) return;
    recorder.tick(timer);
    window->sync();
  }

  QTemporaryDir folder;
  standins::ScriptedMeter unused_meter;
  standins::FakeSerialPort serial{unused_meter};
  standins::BaseUnitLibrary library{11};
  ScriptedDialogs dialogs;
  CountingPause pause;
  MemoryClipboard clipboard;
  platform::QtSurface chart_surface;
  platform::QtSurface window_layer;
  Recorder recorder;
  std::unique_ptr<ui::MainWindow> window;
};

}  // namespace zetra::testing
