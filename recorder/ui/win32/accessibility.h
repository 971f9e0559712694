// What screen readers and automation tools learn about each window: a name that says what the
// control is (a readout's name with its present value), and a description. Windows reads a
// control's caption by itself; the rest is annotated on the window through the system's
// accessibility property service.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "recorder/ui/win32/view_bindings.h"

struct IAccPropServices;

namespace zetra::ui {

// "CH1 current: +000'012.5 pA" for a named label, the caption for a button without a name of
// its own, the name alone for everything else.
std::string accessible_name(const Control& control);

class AccessibleNames {
 public:
  AccessibleNames();
  ~AccessibleNames();
  AccessibleNames(const AccessibleNames&) = delete;
  AccessibleNames& operator=(const AccessibleNames&) = delete;

  // Annotates each bound window whose name or description changed since the last call.
  void sync(std::vector<WindowBinding>& bindings);
  // The name last given to a window (tests read it back).
  std::string name_of(HWND window) const;

 private:
  IAccPropServices* service_ = nullptr;  // none where the system offers no such service
  std::map<HWND, std::pair<std::string, std::string>> given_;  // name and description
};

}  // namespace zetra::ui
