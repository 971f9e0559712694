#include "recorder/files/port_choice.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/paths.h"
#include "recorder/files/atomic_file.h"

namespace zetra::files {

PortMap parse_port_map(const std::string& text) {
  PortMap map;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 6 || line.compare(0, 3, "COM") != 0 || line[4] != '=') continue;
    const int n = line[3] - '0';
    if (n < 1 || n > 4) continue;
    map[n] = line.substr(5);
  }
  return map;
}

std::string format_port_map(const PortMap& map) {
  std::string text;
  for (const auto& [n, device] : map) {
    if (n >= 1 && n <= 4 && !device.empty()) text += "COM" + std::to_string(n) + "=" + device + "\n";
  }
  return text;
}

std::string PortChoice::path() const {
  return platform::join_path(data_folder(context_.platform), kPortMapName);
}

void PortChoice::bind() {
  context_.window.on("pcomchoose", [this] { choose(); });
}

void PortChoice::apply_saved() {
  std::ifstream in(path(), std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  text << in.rdbuf();
  map_ = parse_port_map(text.str());
  for (const auto& [n, device] : map_) context_.platform.serial_port.set_device(n, device);
  show_mapping(map_);
}

// Each COM entry's tip names the device it opens.
void PortChoice::show_mapping(const PortMap& map) {
  for (int n = 1; n <= 4; ++n) {
    const auto mapped = map.find(n);
    context_.window["pcom" + std::to_string(n)].tool_tip =
        mapped == map.end() ? std::string() : "Opens " + mapped->second;
  }
}

void PortChoice::choose() {
  WindowModel& window = context_.window;
  int n = 1;
  for (int k = 1; k <= 4; ++k) {
    if (window["pcom" + std::to_string(k)].checked) n = k;
  }
  const std::string com = "COM" + std::to_string(n);
  platform::Dialogs& dialogs = context_.platform.dialogs;
  const std::vector<platform::PortInfo> ports = context_.platform.serial_port.available_ports();
  if (ports.empty()) {
    dialogs.message_box("No serial port was found. Connect the adapter and choose again.",
                        "Choose port", platform::MessageIcon::Information,
                        platform::MessageButtons::Ok);
    return;
  }
  std::vector<std::string> items;
  int current = 0;
  for (const platform::PortInfo& port : ports) {
    if (map_.count(n) && map_[n] == port.device) current = static_cast<int>(items.size());
    items.push_back(port.description.empty() ? port.device
                                             : port.device + " \xE2\x80\x94 " + port.description);
  }
  const int chosen = dialogs.choose_item("Device for " + com + ":", "Choose port", items, current);
  if (chosen < 0 || chosen >= static_cast<int>(ports.size())) return;
  map_[n] = ports[static_cast<size_t>(chosen)].device;
  context_.platform.serial_port.set_device(n, map_[n]);
  show_mapping(map_);
  window.run("pcom" + std::to_string(n));  // the link goes over this entry from now on
  const std::string text = format_port_map(map_);
  AtomicFile file(path());
  if (!file.open() || !file.write(reinterpret_cast<const uint8_t*>(text.data()), text.size()) ||
      !file.commit()) {
    dialogs.message_box("Cannot remember the port in " + path() + ": " + file.error() + ".",
                        "Choose port", platform::MessageIcon::Exclamation,
                        platform::MessageButtons::Ok);
  }
}

}  // namespace zetra::files
