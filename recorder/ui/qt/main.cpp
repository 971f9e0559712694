// zetra: the recorder program. Puts the platform together, starts the recorder and shows its window.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/qt/data_folder.h"
#include "platform/qt/process_signals.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_device_library.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_printer.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/qt_surface.h"
#include "platform/qt/qt_window_frame.h"
#include "platform/qt/thread_pause.h"
#include "recorder/app/about.h"
#include "recorder/app/command_line.h"
#include "recorder/app/recorder.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/ui/qt/main_window.h"

int main(int argc, char* argv[]) {
  std::vector<std::string> arguments;
  for (int k = 0; k < argc; ++k) arguments.push_back(QString::fromLocal8Bit(argv[k]).toStdString());
  const zetra::StartOptions options = zetra::read_command_line(arguments);
  if (options.action != zetra::StartOptions::Action::Run) {
    const bool failed = options.action == zetra::StartOptions::Action::Error;
    std::fputs(QString::fromStdString(options.output).toLocal8Bit().constData(),
               failed ? stderr : stdout);
    return failed ? 2 : 0;
  }
  zetra::platform::let_oversized_writes_fail();  // a Save past `ulimit -f` reports an error
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName("zetra");  // the user's data folder is .../zetra
  QCoreApplication::setApplicationVersion(QString::fromStdString(zetra::program_version()));
  const QString program_folder = QCoreApplication::applicationDirPath();
  const QString data_folder = zetra::platform::choose_data_folder(program_folder);
  zetra::platform::QtSerialPort serial_port;
  zetra::platform::QtDeviceLibrary device_library;
  zetra::platform::QtDialogs dialogs;
  zetra::platform::ThreadPause pause;
  zetra::platform::QtClipboard clipboard;
  zetra::platform::QtPrinter printer;
  zetra::platform::QtWindowFrame frame;
  zetra::platform::QtSurface chart_surface;
  zetra::platform::QtSurface window_layer;
  zetra::Recorder recorder(zetra::Platform{serial_port, device_library, dialogs, pause, clipboard,
                                           program_folder.toStdString(), &printer, &frame,
                                           data_folder.toStdString()},
                           zetra::ChartSurfaces{&chart_surface, &window_layer});
  recorder.start_up();
  zetra::ui::MainWindow window(recorder, chart_surface, window_layer);
  dialogs.set_parent(&window);
  printer.set_parent(&window);
  frame.attach(&window);  // the settings file's geometry, read at start-up, applies now
  recorder.procedures().end_program = [&window] { window.end_program(); };
  // Logout or a termination request: end as the window closing would, asking nothing; a dialog
  // open at that moment returns as cancelled.
  zetra::platform::SessionEndSignals session_end([&recorder] {
    recorder.end_session();
    QCoreApplication::exit(0);
  });
  window.show();
  // Asked over the shown window, never over another program's: a parentless box would be a
  // window of its own.
  recorder.offer_recovery();
  window.sync();
  if (!options.file.empty()) {
    // Once the window is up, so that a message about the file appears over it.
    QTimer::singleShot(0, &window, [&recorder, &window, file = options.file] {
      recorder.files().recording.open_path(file);
      window.sync();
    });
  }
  return app.exec();
}
