// The whole control set of the main window: menus in menu-bar order, then buttons, readout panels,
// text boxes, scroll bars, the chart and the timers. Captions, tips and states are those at start-up.
#include "recorder/window/control_set.h"

#include <string>
#include <utility>

namespace zetra {
namespace {

// Designated initializers would leave members out, which -Wextra reports; fields are set by name.
Control make(const std::string& name, ControlKind kind, const std::string& parent = "",
             const std::string& caption = "") {
  Control c;
  c.name = name;
  c.kind = kind;
  c.parent = parent;
  c.caption = caption;
  return c;
}

Control& describe(Control& c, const std::string& name, const std::string& description) {
  c.access_name = name;
  c.description = description;
  return c;
}

class Builder {
 public:
  explicit Builder(WindowModel& window) : window_(window) {}

  Control& menu(const std::string& name, const std::string& caption,
                const std::string& parent = "") {
    return window_.add(make(name, ControlKind::Menu, parent, caption));
  }
  Control& item(const std::string& name, const std::string& caption, const std::string& parent,
                const std::string& group = "", bool checked = false) {
    Control c = make(name, ControlKind::MenuItem, parent, caption);
    c.group = group;
    c.checked = checked;
    return window_.add(std::move(c));
  }
  Control& command(const std::string& name, const std::string& caption, const std::string& parent,
                   const std::string& shortcut) {
    Control& c = item(name, caption, parent);
    c.shortcut = shortcut;
    return c;
  }
  Control& separator(const std::string& name, const std::string& parent) {
    return window_.add(make(name, ControlKind::Separator, parent, "-"));
  }
  Control& button(const std::string& name, const std::string& caption, const std::string& tip,
                  bool enabled = true, const std::string& parent = "") {
    Control c = make(name, ControlKind::Button, parent, caption);
    c.tool_tip = tip;
    c.enabled = enabled;
    return window_.add(std::move(c));
  }
  Control& label(const std::string& name, const std::string& text, const std::string& parent = "",
                 bool visible = true) {
    Control c = make(name, ControlKind::Label, parent, text);
    c.visible = visible;
    return window_.add(std::move(c));
  }
  Control& text_box(const std::string& name, const std::string& parent = "", bool visible = true,
                    const std::string& text = "") {
    Control c = make(name, ControlKind::TextBox, parent, text);
    c.visible = visible;
    return window_.add(std::move(c));
  }
  Control& scroll_bar(const std::string& name, int minimum, int maximum, int value,
                      int large_change, bool vertical) {
    Control c = make(name, ControlKind::ScrollBar);
    c.minimum = minimum;
    c.maximum = maximum;
    c.value = value;
    c.small_change = 1;
    c.large_change = large_change;
    c.vertical = vertical;
    return window_.add(std::move(c));
  }
  WindowModel& window() { return window_; }
  Control& plain(const std::string& name, ControlKind kind) {
    return window_.add(make(name, kind));
  }
  Control& timer(const std::string& name, int interval_ms, bool enabled) {
    Control c = make(name, ControlKind::Timer);
    c.enabled = enabled;
    c.interval_ms = interval_ms;
    return window_.add(std::move(c));
  }

 private:
  WindowModel& window_;
};

std::string digit(int n) { return std::to_string(n); }

struct Choice {
  const char* name;
  const char* caption;
};

void add_choices(Builder& b, const std::string& parent, const char* group, const Choice* first,
                 const Choice* last, const std::string& checked) {
  for (const Choice* c = first; c != last; ++c) b.item(c->name, c->caption, parent, group, c->name == checked);
}

template <std::size_t N>
void add_choices(Builder& b, const std::string& parent, const char* group,
                 const Choice (&choices)[N], const std::string& checked) {
  add_choices(b, parent, group, choices, choices + N, checked);
}

void add_file_menu(Builder& b) {
  b.menu("pfile", "File");
  b.command("pnew", "New", "pfile", "Ctrl+N");
  b.command("popen", "Open", "pfile", "Ctrl+O");
  b.command("psave", "Save", "pfile", "Ctrl+S");
  b.command("psaveas", "Save as", "pfile", "Ctrl+Shift+S");
  b.separator("pf1", "pfile");
  b.command("pprint", "Print", "pfile", "Ctrl+P");
  b.command("ppnotes", "Print notes", "pfile", "");
  // PDF files whether or not a printer is installed.
  b.command("ppdf", "Print to PDF...", "pfile", "").tool_tip = "Print every page of the chart to a PDF file";
  b.command("ppnotespdf", "Print notes to PDF...", "pfile", "").tool_tip =
      "Print the notes to a PDF file";
  b.separator("pf2", "pfile");
  b.command("pexit", "Exit", "pfile", "");
}

void add_edit_menu(Builder& b) {
  b.menu("pedit", "Edit");
  // Both stay disabled until there is a step to take back or make again.
  Control& undo = b.command("pundo", "Undo", "pedit", "Ctrl+Z");
  undo.tool_tip = "Take back the last change of the recording (up to 512 MB of changes are "
                  "kept, the oldest dropped first)";
  undo.enabled = false;
  Control& redo = b.command("predo", "Redo", "pedit", "Ctrl+Shift+Z; Ctrl+Y");
  redo.tool_tip = "Make the last change taken back again";
  redo.enabled = false;
  b.separator("pe0", "pedit");
  b.command("pcut", "Cut and Cut to Clipboard", "pedit", "Ctrl+X");
  b.command("pcopy", "Copy and Copy to Clipboard", "pedit", "Ctrl+C");
  b.command("pcwg", "Copy Wave Graph to Clipboard", "pedit", "");
  b.command("ppaste", "Paste", "pedit", "Ctrl+V");
  b.command("pdelete", "Delete", "pedit", "Del");
  b.separator("pe1", "pedit");
  b.command("pcleara", "Delete all", "pedit", "");
}

void add_view_menu(Builder& b) {
  b.menu("pview", "View");
  b.item("pspa", "Display in pA", "pview", kUnitGroup, true);
  b.item("psnm", "Display in nM", "pview", kUnitGroup);
  b.separator("pv1", "pview");
  b.menu("pgrid", "Grid on/off", "pview");
  b.item("pgon", "On", "pgrid", kGridGroup, true);
  b.item("pgoff", "Off", "pgrid", kGridGroup);
  b.menu("ptloo", "Temperature line on/off", "pview");
  b.item("ptlon", "On", "ptloo", kTempLineGroup, true);
  b.item("ptloff", "Off", "ptloo", kTempLineGroup);
  b.menu("pline", "Line width", "pview");
  for (int n = 1; n <= 3; ++n) b.item("pl" + digit(n), digit(n), "pline", kLineWidthGroup, n == 1);
  b.separator("pv2", "pview");
  b.item("psdcolor", "System default color", "pview");
  b.item("pcolor", "Chart backcolor", "pview");
  b.item("pgcolor", "Grid color", "pview");
  b.item("pcdcolor", "CH1 pA_nM line color", "pview");
  b.item("pcdcolor2", "CH2 pA_nM Line color", "pview");
  b.item("ptlc", "CH1 Temp line color", "pview");
  b.item("ptlc2", "CH2 Temp line color", "pview");
  b.separator("pv3", "pview");
  b.item("pnoteson", "Notes on", "pview", kNotesGroup);
  b.item("pnotesoff", "Notes off", "pview", kNotesGroup, true);
}

void add_setup_menu(Builder& b) {
  b.menu("psetup", "Setup");
  b.menu("pcop", "COM Port", "psetup");
  // A first start without a settings file uses USB unit 1, which the stand-in unit serves.
  for (int n = 1; n <= 4; ++n) b.item("pusb" + digit(n), "USB" + digit(n), "pcop", kLinkGroup, n == 1);
  for (int n = 1; n <= 4; ++n) b.item("pcom" + digit(n), "COM" + digit(n), "pcop", kLinkGroup);
  b.separator("pcops", "pcop");
  b.item("pcomchoose", "Choose port...", "pcop").tool_tip =
      "Open the checked COM entry (or COM1) on a port the system offers, such as a USB adapter";
  b.menu("psr", "Sample rate", "psetup");
  for (int n = 1; n <= 5; ++n) b.item("p" + digit(n) + "s1", digit(n) + "/sec", "psr", kRateGroup, n == 2);
  b.menu("psrs", "Recording Memory", "psetup");
  static const Choice memory[] = {{"pr100", "100K"}, {"pr200", "200K"}, {"pr500", "500K"},
                                  {"pr1m", "1M"},    {"pr2m", "2M"},     {"pr5m", "5M"}};
  add_choices(b, "psrs", kMemoryGroup, memory, "pr100");
}

// Filters and conversion stay outside Setup: they may change while the link is on.
void add_filter_menu(Builder& b) {
  b.menu("pfilter", "Filters");
  b.item("porder1", "Filter off", "pfilter", kFilterGroup);
  for (int n = 2; n <= 10; ++n) b.item("porder" + digit(n), digit(n) + " order", "pfilter", kFilterGroup, n == 8);
}

void add_conditioning_menu(Builder& b) {
  b.menu("pconv", "Conversion");
  b.item("pcss", "CH1 Conversion factor setup", "pconv");
  b.item("pcss2", "CH2 Conversion factor setup", "pconv");
  b.item("pspts", "CH1 Start point temperature setup", "pconv");
  b.item("pspts2", "CH2 Start point temperature setup", "pconv");
  b.separator("pc1", "pconv");
  b.item("ptcmo", "Temperature compensation mode on", "pconv", kTcModeGroup);
  b.item("ptcmf", "Temperature compensation mode off", "pconv", kTcModeGroup, true);
}

void add_time_scale_menu(Builder& b) {
  b.menu("ptdiv", "Time_DIV", "pscale");
  static const Choice times[] = {{"pt1s", "1s"},     {"pt2s", "2s"},     {"pt5s", "5s"},
                                 {"pt10s", "10s"},   {"pt20s", "20s"},   {"pt50s", "50s"},
                                 {"pt100s", "100s"}, {"pt200s", "200s"}, {"pt500s", "500s"},
                                 {"pt1000s", "1000s"}};
  add_choices(b, "ptdiv", kTimeDivGroup, times, "pt10s");
}

// CH2 items carry a trailing 2; no CH2 item is checked at start-up although span2 starts at 5000.
void add_value_scale_menus(Builder& b) {
  static const Choice values[] = {
      {"10", "10"},         {"20", "20"},         {"50", "50"},          {"100", "100"},
      {"200", "200"},       {"500", "500"},       {"1000", "1000"},      {"2000", "2000"},
      {"5000", "5000"},     {"10000", "10,000"},  {"20000", "20,000"},   {"50000", "50,000"},
      {"100000", "100,000"}, {"200000", "200,000"}, {"500000", "500,000"}};
  b.menu("pdiv1", "CH1_DIV", "pscale");
  for (const Choice& v : values) {
    b.item(std::string("ppn") + v.name, v.caption, "pdiv1", kDiv1Group, v.name == std::string("200"));
  }
  b.menu("pdiv2", "CH2_DIV", "pscale");
  for (const Choice& v : values) b.item(std::string("ppn") + v.name + "2", v.caption, "pdiv2", kDiv2Group);
}

void add_temperature_scale_menus(Builder& b) {
  static const Choice t1[] = {{"pt01", "0.1 C"}, {"pt02", "0.2 C"}, {"pt05", "0.5 C"},
                              {"pt1", "1 C"},    {"pt2", "2 C"},    {"pt5", "5 C"},
                              {"pt10", "10 C"},  {"pt12", "12 C"},  {"pt15", "15 C"},
                              {"pt20", "20 C"}};
  static const Choice t2[] = {{"pt012", "0.1 C"}, {"pt022", "0.2 C"}, {"pt052", "0.5 C"},
                              {"pt12b", "1 C"},   {"pt22", "2 C"},    {"pt52", "5 C"},
                              {"pt102", "10 C"},  {"pt122", "12 C"},  {"pt152", "15 C"},
                              {"pt202", "20 C"}};
  b.menu("ptdiv1", "T1_DIV", "pscale");
  add_choices(b, "ptdiv1", kTDiv1Group, t1, "pt10");
  b.menu("ptdiv2", "T2_DIV", "pscale");
  add_choices(b, "ptdiv2", kTDiv2Group, t2, "pt102");
}

void add_scale_menus(Builder& b) {
  b.menu("pscale", "Scales");
  add_time_scale_menu(b);
  add_value_scale_menus(b);
  add_temperature_scale_menus(b);
}

void add_calculate_menu(Builder& b) {
  b.menu("pcal", "Calculate");
  static const Choice modes[] = {{"pvalue", "Delta"},   {"pmax", "Maximum"}, {"pmin", "Minimum"},
                                 {"paver", "Average"},  {"psample", "Sample"}};
  add_choices(b, "pcal", kCalcGroup, modes, "pvalue");
  b.separator("pbint", "pcal");
  b.item("pinter", "Integral", "pcal", kCalcGroup);
  b.item("pintset", "CH1 Integral Setup", "pcal");
  b.item("pintset2", "CH2 Integral Setup", "pcal");
}

void add_help_menu(Builder& b) {
  b.menu("phelp", "Help");
  b.command("pcont", "Contents", "phelp", "F1");
  b.item("pabout", "About", "phelp");
}

void add_file_and_edit_buttons(Builder& b) {
  b.button("copen", "Open", "Open a file");
  b.button("csave", "Save", "Save");
  b.button("ccut", "Cut", "Cut and Cut to Clipboard");
  b.button("ccopy", "Copy", "Copy and Copy to Clipboard");
  b.button("cpaste", "Paste", "Paste");
  b.button("cdeleta", "Delete", "Delete");
  b.button("cprint", "Print", "Print");
}

void add_link_and_recording_buttons(Builder& b) {
  b.button("conoff", "On", "System on/off");
  b.button("crec", "Rec", "Start/stop recording", false);
  b.button("cre", "exam", "Choose run-time exam mode/back to normal", false);
  // The marker has no menu item; its key works while the button is enabled (while recording).
  b.button("cmarker", "Mkr", "Marker", false).shortcut = "Ctrl+M";
}

// One channel's panel: readouts, indicators, its conditioning buttons and the calibration entry.
void add_channel_panel(Builder& b, const std::string& twin) {
  const std::string panel = twin.empty() ? "sp1" : "sp2";
  const std::string channel = twin.empty() ? "CH1" : "CH2";
  Control& frame = b.plain(panel, ControlKind::Panel);
  frame.access_name = channel + " readouts";
  frame.description = channel + " sensor current and probe temperature, with its zero and "
                      "conversion controls";
  // The channel's name in its trace colour, so that panel and trace are told apart at a glance.
  b.label("tch" + twin, channel, panel).description = channel + " channel";
  // Greyed (disabled) while the link is off: the values are not live.
  describe(b.label("t2" + twin, "+000'000.0 pA", panel), channel + " current",
           channel + " latest current in the displayed unit").enabled = false;
  describe(b.label("t1" + twin, "+000'000.0 nM", panel), channel + " other unit",
           channel + " latest current in the other unit").enabled = false;
  describe(b.label("t4" + twin, "36.10 C", panel), channel + " temperature",
           channel + " latest probe temperature").enabled = false;
  b.label("t3" + twin, channel + " Zero on", panel, false);
  b.label("t5" + twin, channel + " TC mode on", panel, false);
  b.button("czero" + twin, "Zero", "Zero input offset", false, panel).access_name =
      channel + " Zero";
  b.button("coz" + twin, "Off Z", "Turn off zero offset", false, panel).access_name =
      channel + " Off Z";
  b.button("ccal" + twin, "Conv", "Conversion of pA to nM", false, panel).access_name =
      channel + " Conv";
  Control& pa = b.text_box("ct1" + twin, panel, false);
  describe(pa, channel + " calibration pA", "pA of the calibration; Enter converts");
  pa.enter_runs = "ccal" + twin;
  b.label("cl1" + twin, "pA =", panel, false);
  Control& nm = b.text_box("ct2" + twin, panel, false);
  describe(nm, channel + " calibration nM", "nM of the calibration; Enter converts");
  nm.enter_runs = "ccal" + twin;
  b.label("cl2" + twin, "nM", panel, false);
}

// Vertical bars: the small step is 1; which end sits at the top is the view's choice.
void add_chart_and_scroll_bars(Builder& b) {
  describe(b.plain("p1", ControlKind::Chart), "Chart",
           "Both channels against time; wheel and arrow keys scroll, Ctrl+wheel changes Time/DIV")
      .pointer = Pointer::Cross;
  describe(b.scroll_bar("nhs1", 0, 32767, 0, 1, false), "Time scroll bar",
           "Moves through the recording");
  // Left to right beside the chart: CH1 offset, CH1 temperature, CH2 offset, CH2 temperature.
  describe(b.scroll_bar("nvs1", -150, 50, -10, 10, true), "CH1 offset",
           "Shifts the CH1 current trace up and down");
  describe(b.scroll_bar("nvs2", -50, 100, 0, 5, true), "CH1 temperature base",
           "Temperature at the bottom edge for the CH1 temperature trace");
  describe(b.scroll_bar("nvs12", -150, 50, -10, 10, true), "CH2 offset",
           "Shifts the CH2 current trace up and down");
  describe(b.scroll_bar("nvs22", -50, 100, 0, 5, true), "CH2 temperature base",
           "Temperature at the bottom edge for the CH2 temperature trace");
  // A caption above each bar names the trace it moves, in that trace's colour; bar and caption
  // show the same tip.
  static const Choice captions[] = {{"nvs1", "CH1"}, {"nvs2", "T1"}, {"nvs12", "CH2"}, {"nvs22", "T2"}};
  for (const Choice& c : captions) {
    Control& bar = b.window()[c.name];
    bar.tool_tip = bar.description;
    Control& caption = b.label(std::string("l") + c.name, c.caption);
    caption.tool_tip = bar.description;
    caption.description = bar.access_name + " scroll bar";
  }
}

void add_text_areas(Builder& b) {
  describe(b.plain("st1", ControlKind::StatusBar), "Status line", "The chosen scales");
  // A row of its own just above the status line: the recording, saved state, journal and link
  // trouble.
  describe(b.plain("stfield", ControlKind::Label), "Recording status",
           "Recording progress, link and journal trouble, unsaved changes")
      .parent = "st1";
  describe(b.text_box("nt1", "", false, "Notes:"), "Notes", "Notes saved with the recording");
  b.text_box("rtb1", "", false);  // scratch text of Copy; never shown
}

void add_timers(Builder& b) {
  b.timer("Timer1", 500, false);
  b.timer("Timer2", 400, true);
  b.timer("Timer3", 700, true);
}

}  // namespace

void add_control_set(WindowModel& window) {
  Builder b(window);
  add_file_menu(b);
  add_edit_menu(b);
  add_view_menu(b);
  add_scale_menus(b);
  add_setup_menu(b);
  add_filter_menu(b);
  add_conditioning_menu(b);
  add_calculate_menu(b);
  add_help_menu(b);
  add_file_and_edit_buttons(b);
  add_link_and_recording_buttons(b);
  add_channel_panel(b, "");
  add_channel_panel(b, "2");
  add_chart_and_scroll_bars(b);
  add_text_areas(b);
  add_timers(b);
}

}  // namespace zetra
