// The window model's mechanics on the real control set, and the control set's start-up state.
#include "recorder/window/control_set.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace zetra {
namespace {

class ControlSetTest : public ::testing::Test {
 protected:
  ControlSetTest() { add_control_set(window); }
  WindowModel window;
};

TEST_F(ControlSetTest, CheckKeepsOneItemPerGroupAndLeavesOtherGroupsAlone) {
  window.check("pr2m");
  EXPECT_TRUE(window["pr2m"].checked);
  EXPECT_FALSE(window["pr100"].checked);
  EXPECT_EQ(window.checked_in(kMemoryGroup)->name, "pr2m");
  // Groups sharing a menu stay independent: the Calculate modes and the ungrouped setup items.
  window.check("pinter");
  EXPECT_FALSE(window["pvalue"].checked);
  EXPECT_FALSE(window["pintset"].checked);
  // The two temperature scale groups share captions but not check marks.
  window.check("pt12b");
  EXPECT_TRUE(window["pt10"].checked);
  EXPECT_FALSE(window["pt102"].checked);
  // Checking an ungrouped item touches nothing else.
  window.check("pintset");
  EXPECT_TRUE(window["pinter"].checked);
}

TEST_F(ControlSetTest, RunRefusesDisabledControlsAndItemsUnderDisabledMenus) {
  int ran = 0;
  for (const char* name : {"crec", "pusb2", "conoff", "pcleara"}) window.on(name, [&] { ++ran; });

  EXPECT_FALSE(window.run("crec"));  // disabled at start-up
  EXPECT_TRUE(window.invoke("crec"));  // invoke ignores the state
  EXPECT_EQ(ran, 1);

  window["psetup"].enabled = false;  // connected: the whole Setup tree is out of reach
  EXPECT_FALSE(window.run("pusb2"));
  window["psetup"].enabled = true;
  window["pcop"].enabled = false;  // recording: the port submenu alone
  EXPECT_FALSE(window.run("pusb2"));
  window["pcop"].enabled = true;
  window["pcop"].visible = false;
  EXPECT_FALSE(window.run("pusb2"));
  window["pcop"].visible = true;
  EXPECT_TRUE(window.run("pusb2"));
  EXPECT_EQ(ran, 2);

  window["pedit"].enabled = false;
  EXPECT_FALSE(window.run("pcleara"));
  EXPECT_TRUE(window.run("conoff"));
  EXPECT_FALSE(window.run("ppaste"));  // reachable but nobody handles it yet
  EXPECT_EQ(ran, 3);
}

TEST_F(ControlSetTest, UnknownAndDuplicateNamesAreRefused) {
  EXPECT_THROW(window["nosuch"], std::out_of_range);
  EXPECT_THROW(window.run("nosuch"), std::out_of_range);
  EXPECT_THROW(window.on("nosuch", [] {}), std::out_of_range);
  EXPECT_THROW(window.scroll("nosuch", 1), std::out_of_range);
  EXPECT_THROW(window.check("nosuch"), std::out_of_range);
  Control duplicate;
  duplicate.name = "conoff";
  EXPECT_THROW(window.add(duplicate), std::invalid_argument);
  EXPECT_FALSE(window.has("nosuch"));
}

TEST_F(ControlSetTest, ScrollSetsThePositionBeforeTheHandlerReadsIt) {
  int seen = 0;
  window.on("nvs1", [&] { seen = window["nvs1"].value; });
  window.scroll("nvs1", 37);
  EXPECT_EQ(seen, 37);
}

TEST_F(ControlSetTest, EveryNamedControlExistsWithTheRightKind) {
  const std::map<ControlKind, std::vector<std::string>> expected = {
      {ControlKind::Menu, {"pfile", "pedit", "pview", "psetup", "pcop", "psr", "psrs", "pcal",
                           "phelp", "pgrid", "ptloo", "pline"}},
      {ControlKind::Separator, {"pe1", "pbint"}},
      {ControlKind::Button, {"conoff", "crec", "cre", "cmarker", "copen", "csave", "ccut", "ccopy",
                             "cpaste", "cdeleta", "cprint", "czero", "coz", "ccal", "czero2",
                             "coz2", "ccal2"}},
      {ControlKind::Label, {"t1", "t2", "t3", "t4", "t5", "t12", "t22", "t32", "t42", "t52", "cl1",
                            "cl2", "cl12", "cl22"}},
      {ControlKind::TextBox, {"ct1", "ct2", "ct12", "ct22", "nt1", "rtb1"}},
      {ControlKind::Panel, {"sp1", "sp2"}},
      {ControlKind::ScrollBar, {"nhs1", "nvs1", "nvs12", "nvs2", "nvs22"}},
      {ControlKind::Chart, {"p1"}},
      {ControlKind::StatusBar, {"st1"}},
      {ControlKind::Timer, {"Timer1", "Timer2", "Timer3"}},
      {ControlKind::MenuItem,
       {"pnew", "popen", "psave", "psaveas", "pprint", "ppnotes", "pexit", "pcut", "pcopy", "pcwg",
        "ppaste", "pdelete", "pcleara", "pspa", "psnm", "psdcolor", "pcolor", "pgcolor",
        "pcdcolor", "pcdcolor2", "ptlc", "ptlc2", "pnoteson", "pnotesoff", "pcss", "pcss2",
        "pspts", "pspts2", "ptcmo", "ptcmf", "pintset", "pintset2", "pcont", "pl3", "pgoff",
        "ptloff", "pt12b", "ppn5000002", "ppn500000", "pt1000s", "pt202", "pt01", "p5s1", "pr5m",
        "porder10", "pcom4", "pusb4", "pinter"}},
  };
  for (const auto& [kind, names] : expected) {
    for (const std::string& name : names) {
      ASSERT_TRUE(window.has(name)) << name;
      EXPECT_EQ(window[name].kind, kind) << name;
    }
  }
}

TEST_F(ControlSetTest, TreeIsWellFormed) {
  std::map<std::string, int> group_sizes, group_checked;
  for (const Control* c : window.controls()) {
    if (!c->parent.empty()) {
      ASSERT_TRUE(window.has(c->parent)) << c->name;
      const ControlKind parent = window[c->parent].kind;
      const bool in_menu = c->kind == ControlKind::Menu || c->kind == ControlKind::MenuItem ||
                           c->kind == ControlKind::Separator;
      if (in_menu) {
        EXPECT_EQ(parent, ControlKind::Menu) << c->name;
      } else {
        // Labels sit in a channel panel or, the status field alone, in the status bar.
        EXPECT_EQ(parent, c->name == "stfield" ? ControlKind::StatusBar : ControlKind::Panel)
            << c->name;
      }
    }
    if (!c->group.empty()) {
      EXPECT_EQ(c->kind, ControlKind::MenuItem) << c->name;
      ++group_sizes[c->group];
      group_checked[c->group] += c->checked ? 1 : 0;
    }
  }
  const std::map<std::string, int> sizes = {
      {kLinkGroup, 8},    {kFilterGroup, 10},  {kRateGroup, 5},    {kMemoryGroup, 6},
      {kTcModeGroup, 2},  {kUnitGroup, 2},     {kTimeDivGroup, 10}, {kDiv1Group, 15},
      {kDiv2Group, 15},   {kTDiv1Group, 10},   {kTDiv2Group, 10},  {kGridGroup, 2},
      {kTempLineGroup, 2}, {kLineWidthGroup, 3}, {kNotesGroup, 2},  {kCalcGroup, 6}};
  EXPECT_EQ(group_sizes, sizes);
  for (const auto& [group, count] : group_checked) {
    // CH2_DIV starts with no check mark although span2 starts at 5000.
    EXPECT_EQ(count, group == kDiv2Group ? 0 : 1) << group;
  }
}

TEST_F(ControlSetTest, StartUpCheckMarks) {
  const std::set<std::string> checked = {
      "pusb1", "p2s1", "pr100", "porder8", "ptcmf", "pspa", "pgon",  "ptlon",
      "pl1",   "pnotesoff", "pt10s", "ppn200", "pt10", "pt102", "pvalue"};
  std::set<std::string> actual;
  for (const Control* c : window.controls()) {
    if (c->checked) actual.insert(c->name);
  }
  EXPECT_EQ(actual, checked);
}

struct Expected {
  const char* name;
  const char* caption;
  const char* tip;
  bool enabled;
  bool visible;
};

TEST_F(ControlSetTest, StartUpCaptionsTipsAndStates) {
  const Expected table[] = {
      {"conoff", "On", "System on/off", true, true},
      {"crec", "Rec", "Start/stop recording", false, true},
      {"cre", "exam", "Choose run-time exam mode/back to normal", false, true},
      {"cmarker", "Mkr", "Marker", false, true},
      {"czero2", "Zero", "Zero input offset", false, true},
      {"coz", "Off Z", "Turn off zero offset", false, true},
      {"ccal2", "Conv", "Conversion of pA to nM", false, true},
      {"ccut", "Cut", "Cut and Cut to Clipboard", true, true},
      {"ccopy", "Copy", "Copy and Copy to Clipboard", true, true},
      {"cdeleta", "Delete", "Delete", true, true},
      {"t2", "+000'000.0 pA", "", false, true},  // greyed: no link feeds it yet
      {"t12", "+000'000.0 nM", "", false, true},
      {"t42", "36.10 C", "", false, true},
      {"t32", "CH2 Zero on", "", true, false},
      {"t5", "CH1 TC mode on", "", true, false},
      {"cl12", "pA =", "", true, false},
      {"cl2", "nM", "", true, false},
      {"ct22", "", "", true, false},
      {"nt1", "Notes:", "", true, false},
      {"rtb1", "", "", true, false},
      {"pcop", "COM Port", "", true, true},
      {"pcwg", "Copy Wave Graph to Clipboard", "", true, true},
      {"pcdcolor2", "CH2 pA_nM Line color", "", true, true},
      {"ppn10000", "10,000", "", true, true},
      {"ppn5000002", "500,000", "", true, true},
      {"ppn50002", "5000", "", true, true},
      {"pt12", "12 C", "", true, true},
      {"pt12b", "1 C", "", true, true},
      {"p3s1", "3/sec", "", true, true},
      {"porder1", "Filter off", "", true, true},
      {"pspts2", "CH2 Start point temperature setup", "", true, true},
      {"pintset2", "CH2 Integral Setup", "", true, true},
      {"phelp", "Help", "", true, true},
      {"Timer1", "", "", false, true},
      {"Timer3", "", "", true, true},
  };
  for (const Expected& e : table) {
    const Control& c = window[e.name];
    EXPECT_EQ(c.caption, e.caption) << e.name;
    EXPECT_EQ(c.tool_tip, e.tip) << e.name;
    EXPECT_EQ(c.enabled, e.enabled) << e.name;
    EXPECT_EQ(c.visible, e.visible) << e.name;
  }
  EXPECT_EQ(window["Timer1"].interval_ms, 500);
  EXPECT_EQ(window["Timer2"].interval_ms, 400);
  EXPECT_EQ(window["Timer3"].interval_ms, 700);
  EXPECT_EQ(window["pcont"].shortcut, "F1");
  EXPECT_EQ(window["pdelete"].shortcut, "Del");
}

TEST_F(ControlSetTest, ScrollBarRanges) {
  struct Bar { const char* name; int min, max, value, large; bool vertical; };
  const Bar bars[] = {{"nhs1", 0, 32767, 0, 1, false},
                      {"nvs1", -150, 50, -10, 10, true},
                      {"nvs12", -150, 50, -10, 10, true},
                      {"nvs2", -50, 100, 0, 5, true},
                      {"nvs22", -50, 100, 0, 5, true}};
  for (const Bar& bar : bars) {
    const Control& c = window[bar.name];
    EXPECT_EQ(c.minimum, bar.min) << bar.name;
    EXPECT_EQ(c.maximum, bar.max) << bar.name;
    EXPECT_EQ(c.value, bar.value) << bar.name;
    EXPECT_EQ(c.large_change, bar.large) << bar.name;
    EXPECT_EQ(c.small_change, 1) << bar.name;
    EXPECT_EQ(c.vertical, bar.vertical) << bar.name;
  }
}

}  // namespace
}  // namespace zetra
