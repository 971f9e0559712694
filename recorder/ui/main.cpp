// zetra: the recorder program. Puts the platform together, starts the recorder and shows its window.
#include <QApplication>

#include "platform/qt/qt_clipboard.h"
#include "platform/qt/qt_device_library.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/thread_pause.h"
#include "recorder/app/recorder.h"
#include "recorder/ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  zetra::platform::QtSerialPort serial_port;
  zetra::platform::QtDeviceLibrary device_library;
  zetra::platform::QtDialogs dialogs;
  zetra::platform::ThreadPause pause;
  zetra::platform::QtClipboard clipboard;
  zetra::Recorder recorder(zetra::Platform{serial_port, device_library, dialogs, pause, clipboard,
                                           QCoreApplication::applicationDirPath().toStdString()});
  recorder.start();
  zetra::ui::MainWindow window(recorder);
  dialogs.set_parent(&window);
  window.show();
  return app.exec();
}
