// Setup > COM Port > Choose port...: maps a COM entry to a device the system offers (a USB serial
// adapter, say), and remembers the mapping in a small text file of its own beside the settings
// file, one "COMn=device" line per mapped entry. The settings file itself stays as it is.
#pragma once

#include <map>
#include <string>

#include "recorder/window/recorder_context.h"

namespace zetra::files {

inline constexpr const char* kPortMapName = "zetrat.ports";

using PortMap = std::map<int, std::string>;  // COM number 1..4 -> device

// Lines of "COMn=device"; anything else (other numbers, empty devices, stray text) is skipped.
PortMap parse_port_map(const std::string& text);
std::string format_port_map(const PortMap& map);

class PortChoice {
 public:
  explicit PortChoice(RecorderContext& context) : context_(context) {}

  void bind();
  // At start-up: the remembered devices go to the serial port.
  void apply_saved();
  // The list of offered ports; the chosen one serves the checked COM entry (COM1 when a USB
  // unit is checked), which becomes the chosen link.
  void choose();

  std::string path() const;

 private:
  void show_mapping(const PortMap& map);

  RecorderContext& context_;
  PortMap map_;
};

}  // namespace zetra::files
