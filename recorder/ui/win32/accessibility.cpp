#include "recorder/ui/win32/accessibility.h"

#include <initguid.h>
#include <oleacc.h>

#include "platform/win32/utf16.h"

namespace zetra::ui {

std::string accessible_name(const Control& c) {
  if (c.access_name.empty()) return c.caption;
  std::string name = c.access_name;
  if (c.kind == ControlKind::Label && !c.caption.empty()) name += ": " + c.caption;
  return name;
}

AccessibleNames::AccessibleNames() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  void* service = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IAccPropServices, &service))) {
    service_ = static_cast<IAccPropServices*>(service);
  }
}

AccessibleNames::~AccessibleNames() {
  if (service_) service_->Release();
}

std::string AccessibleNames::name_of(HWND window) const {
  auto it = given_.find(window);
  return it == given_.end() ? std::string() : it->second.first;
}

void AccessibleNames::sync(std::vector<WindowBinding>& bindings) {
  for (WindowBinding& b : bindings) {
    const Control& c = *b.control;
    const std::string name = accessible_name(c);
    const std::string& description = c.description.empty() ? c.tool_tip : c.description;
    auto& given = given_[b.window];
    if (given.first == name && given.second == description && !name.empty()) continue;
    given = {name, description};
    if (!service_) continue;
    service_->SetHwndPropStr(b.window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME,
                             platform::to_utf16(name).c_str());
    service_->SetHwndPropStr(b.window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                             platform::to_utf16(description).c_str());
  }
}

}  // namespace zetra::ui
