#include "recorder/app/recorder.h"

#include "recorder/acquisition/acquisition_tick.h"
#include "recorder/acquisition/instrument_link.h"
#include "recorder/acquisition/recording_control.h"
#include "recorder/acquisition/signal_conditioning.h"
#include "recorder/acquisition/startup.h"
#include "recorder/files/files_subsystem.h"
#include "recorder/window/control_set.h"

namespace zetra {

Recorder::Recorder(Platform platform)
    : platform_(platform),
      context_{state_, window_, procedures_, platform_},
      link_(std::make_unique<InstrumentLink>(context_)),
      acquisition_(std::make_unique<AcquisitionTick>(context_)),
      conditioning_(std::make_unique<SignalConditioning>(context_)),
      recording_control_(std::make_unique<RecordingControl>(context_)),
      files_(std::make_unique<files::FilesSubsystem>(context_)) {
  add_control_set(window_);
  link_->bind();
  conditioning_->bind();
  recording_control_->bind();
  files_->bind();
  window_.on("Timer1", [this] { acquisition_->run(); });
  install_procedures();
}

Recorder::~Recorder() { link_->release(); }

void Recorder::start() { run_startup(context_); }

void Recorder::install_procedures() {
  // Emptying the recording; the chart's own clearing joins this when the chart is drawn.
  procedures_.clsp1 = [this] {
    state_.clear();
    state_.shown_count = state_.view_start = state_.pen_x = 1;
    window_["nt1"].caption = "Notes:";
  };
}

}  // namespace zetra
