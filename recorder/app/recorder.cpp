#include "recorder/app/recorder.h"

#include "recorder/acquisition/acquisition_tick.h"
#include "recorder/acquisition/exit.h"
#include "recorder/acquisition/instrument_link.h"
#include "recorder/acquisition/recording_control.h"
#include "recorder/acquisition/signal_conditioning.h"
#include "recorder/acquisition/startup.h"
#include "recorder/analysis/chart_selection.h"
#include "recorder/analysis/edit_operations.h"
#include "recorder/analysis/undo_commands.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/files/port_choice.h"
#include "recorder/files/settings_file.h"
#include "recorder/chart/blank_surface.h"
#include "recorder/chart/chart.h"
#include "recorder/window/control_set.h"
#include "recorder/window/status_field.h"

namespace zetra {

Recorder::Recorder(Platform platform, ChartSurfaces surfaces)
    : platform_(platform),
      context_{state_, window_, procedures_, platform_},
      blank_chart_(std::make_unique<chart::BlankSurface>()),
      blank_layer_(std::make_unique<chart::BlankSurface>(platform::TwipsRect{0, 0, 9000, 7000})),
      surfaces_{surfaces.chart ? surfaces.chart : blank_chart_.get(),
                surfaces.window_layer ? surfaces.window_layer : blank_layer_.get()},
      chart_(std::make_unique<chart::Chart>(context_, *surfaces_.chart, *surfaces_.window_layer)),
      exit_(std::make_unique<ExitControl>(context_)),
      link_(std::make_unique<InstrumentLink>(context_)),
      acquisition_(std::make_unique<AcquisitionTick>(context_)),
      conditioning_(std::make_unique<SignalConditioning>(context_)),
      recording_control_(std::make_unique<RecordingControl>(context_)),
      files_(std::make_unique<files::FilesSubsystem>(context_)),
      ports_(std::make_unique<files::PortChoice>(context_)),
      selection_(std::make_unique<analysis::ChartSelection>(context_, surfaces_.chart)),
      edits_(std::make_unique<analysis::EditOperations>(context_, surfaces_.chart)),
      undo_(std::make_unique<analysis::UndoCommands>(context_)) {
  add_control_set(window_);
  link_->bind();
  conditioning_->bind();
  recording_control_->bind();
  chart_->bind();
  exit_->bind();
  files_->bind();
  ports_->bind();
  selection_->bind();
  edits_->bind();
  undo_->bind();
  window_.on("Timer1", [this] { acquisition_->run(); });
  window_.on("Timer3", [this] {
    chart_->timer3();
    files_->journal.tick();  // the recovery journal, every few seconds
  });
  install_procedures();
}

Recorder::~Recorder() { link_->release(); }

void Recorder::start() {
  start_up();
  offer_recovery();
}

void Recorder::start_up() {
  run_startup(context_);
  ports_->apply_saved();  // beside the settings file just read
  chart_->show_started();
}

void Recorder::offer_recovery() {
  files_->journal.offer_recovery();  // a recording left unsaved by a crash
}

void Recorder::end_session() {
  files_->journal.keep_for_next_start();
  files::SettingsCommands& settings = files_->settings;
  files::write_settings(settings.path(), settings.collect(), settings.faults);  // no message
  Procedures::call(procedures_.end_program);
}

void Recorder::install_procedures() {
  // The chart installs r_line, r_linef, d_grad, clsp1, resetp, nhs1_set and nhs1_setb itself.
  procedures_.show_status_field = [this] {
    files_->notes.show_room();  // the notes' room is part of the field, and the pane's limit
    show_status_field(state_, window_);
  };
}

}  // namespace zetra
