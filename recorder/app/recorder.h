// The recorder put together: state, window model, shared procedures and every subsystem's
// handlers. The Qt window and the scenario tests both drive the system through this object.
#pragma once

#include <memory>
#include <string_view>

#include "platform/surface.h"
#include "recorder/window/recorder_context.h"

namespace zetra {

class AcquisitionTick;
class InstrumentLink;
class RecordingControl;
class SignalConditioning;
class ExitControl;
namespace chart {
class BlankSurface;
class Chart;
}

// The chart p1 and the window's own drawing layer the chart draws on; none: blank surfaces.
struct ChartSurfaces {
  platform::Surface* chart = nullptr;
  platform::Surface* window_layer = nullptr;
};
namespace files {
class FilesSubsystem;
class PortChoice;
}
namespace analysis {
class ChartSelection;
class EditOperations;
class UndoCommands;
}

class Recorder {
 public:
  // Builds the control set and binds every handler; nothing runs until start().
  explicit Recorder(Platform platform, ChartSurfaces surfaces = {});
  // Releases the serial port and the device if the program ends with them open.
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // The start-up sequence of the main window's load event, then offer_recovery().
  void start();
  // The start-up sequence alone, for a window that asks offer_recovery() once it shows.
  void start_up();
  // Offers back a recording a program that ended left unsaved; its question should sit over the
  // main window, so a window calls this once it is shown.
  void offer_recovery();
  // The session ends (logout, shutdown, a termination request): ends the program as the window
  // closing would, without asking anything and without messages. The recovery journal is brought
  // up to date and kept while the recording has unsaved changes, so that the next start offers it
  // back; the settings file is written; then the program ends.
  void end_session();

  RecorderState& state() { return state_; }
  WindowModel& window() { return window_; }
  Procedures& procedures() { return procedures_; }
  RecorderContext& context() { return context_; }
  chart::Chart& chart() { return *chart_; }
  // The chart's drawing surface, for everything that draws on the chart besides the chart itself.
  platform::Surface& chart_surface() { return *surfaces_.chart; }
  files::FilesSubsystem& files() { return *files_; }

  // Scenario shorthands: a click on a control and one timer tick.
  bool press(std::string_view control) { return window_.run(control); }
  void tick(std::string_view timer) { window_.tick(timer); }

 private:
  void install_procedures();

  Platform platform_;
  RecorderState state_;
  WindowModel window_;
  Procedures procedures_;
  RecorderContext context_;
  std::unique_ptr<chart::BlankSurface> blank_chart_, blank_layer_;
  ChartSurfaces surfaces_;
  std::unique_ptr<chart::Chart> chart_;
  std::unique_ptr<ExitControl> exit_;
  std::unique_ptr<InstrumentLink> link_;
  std::unique_ptr<AcquisitionTick> acquisition_;
  std::unique_ptr<SignalConditioning> conditioning_;
  std::unique_ptr<RecordingControl> recording_control_;
  std::unique_ptr<files::FilesSubsystem> files_;
  std::unique_ptr<files::PortChoice> ports_;
  std::unique_ptr<analysis::ChartSelection> selection_;
  std::unique_ptr<analysis::EditOperations> edits_;
  std::unique_ptr<analysis::UndoCommands> undo_;
};

}  // namespace zetra
