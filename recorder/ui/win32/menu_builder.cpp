#include "recorder/ui/win32/menu_builder.h"

#include <map>

#include "platform/win32/utf16.h"
#include "recorder/ui/win32/keys.h"

namespace zetra::ui {

std::wstring display_text(const std::string& caption) {
  std::wstring text;
  for (wchar_t c : platform::to_utf16(caption)) {
    if (c == L'&') text.push_back(L'&');
    text.push_back(c);
  }
  return text;
}

UINT command_id(const WindowModel& window, const std::string& name) {
  const auto& controls = window.controls();
  for (size_t k = 0; k < controls.size(); ++k) {
    if (controls[k]->name == name) return kFirstCommand + static_cast<UINT>(k);
  }
  return 0;
}

namespace {

std::wstring item_text(const Control& c) {
  std::wstring text = display_text(c.caption);
  if (!c.shortcut.empty()) text += L"\t" + platform::to_utf16(menu_key_text(c.shortcut));
  return text;
}

UINT item_state(const Control& c) {
  return (c.enabled ? MFS_ENABLED : MFS_DISABLED) | (c.checked ? MFS_CHECKED : MFS_UNCHECKED);
}

void insert(HMENU menu, MENUITEMINFOW& info) {
  ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
}

}  // namespace

MenuBar::MenuBar(WindowModel& window, const platform::SerialPort& port)
    : window_(window), port_(port) {}

MenuBar::~MenuBar() {
  if (bar_ && !(owner_ && ::GetMenu(owner_) == bar_)) ::DestroyMenu(bar_);
}

void MenuBar::attach(HWND owner) {
  owner_ = owner;
  bar_ = build();
  ::SetMenu(owner_, bar_);
}

// Model order puts every menu before its items, so each parent popup exists when its entries
// come. A hidden menu leaves out all that is in it.
HMENU MenuBar::build() {
  entries_.clear();
  HMENU bar = ::CreateMenu();
  std::map<std::string, HMENU> popups;
  const auto& controls = window_.controls();
  for (size_t k = 0; k < controls.size(); ++k) {
    Control& c = *controls[k];
    if (c.kind != ControlKind::Menu && c.kind != ControlKind::MenuItem &&
        c.kind != ControlKind::Separator) {
      continue;
    }
    const UINT id = kFirstCommand + static_cast<UINT>(k);
    MenuBinding entry{&c, id, nullptr, {}};
    HMENU parent = c.parent.empty() ? bar : nullptr;
    if (!c.parent.empty()) {
      auto it = popups.find(c.parent);
      if (it == popups.end()) continue;  // inside a hidden menu
      parent = it->second;
    }
    entry.last.shown = true;
    entry.last.visible = c.visible;
    if (!c.visible) {
      entries_.push_back(entry);
      continue;
    }
    const std::wstring text = item_text(c);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE;
    info.wID = id;
    info.fState = item_state(c);
    if (c.kind == ControlKind::Separator) {
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask |= MIIM_STRING;
      info.dwTypeData = const_cast<wchar_t*>(text.c_str());
      info.fType = c.group.empty() ? MFT_STRING : MFT_RADIOCHECK;
    }
    if (c.kind == ControlKind::Menu) {
      entry.popup = ::CreatePopupMenu();
      popups[c.name] = entry.popup;
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = entry.popup;
    }
    insert(parent, info);
    entry.last.caption = c.caption;
    entry.last.enabled = c.enabled;
    entry.last.checked = c.checked;
    entries_.push_back(entry);
  }
  return bar;
}

bool MenuBar::visibility_changed() const {
  for (const MenuBinding& e : entries_) {
    if (e.last.visible != e.control->visible) return true;
  }
  // A control inside a menu that was hidden has no entry yet; its menu's change shows above.
  return false;
}

void MenuBar::sync() {
  if (!bar_) return;
  if (visibility_changed()) {
    HMENU old = bar_;
    bar_ = build();
    ::SetMenu(owner_, bar_);
    ::DestroyMenu(old);
    ::DrawMenuBar(owner_);
    return;
  }
  bool bar_changed = false;
  for (MenuBinding& e : entries_) {
    const Control& c = *e.control;
    if (!c.visible || c.kind == ControlKind::Separator) continue;
    if (e.last.caption == c.caption && e.last.enabled == c.enabled &&
        e.last.checked == c.checked) {
      continue;
    }
    const std::wstring text = item_text(c);
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_STRING;
    info.fState = item_state(c);
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    ::SetMenuItemInfoW(bar_, e.id, FALSE, &info);
    bar_changed |= c.parent.empty();
    e.last.caption = c.caption;
    e.last.enabled = c.enabled;
    e.last.checked = c.checked;
  }
  if (bar_changed) ::DrawMenuBar(owner_);
}

const Control* MenuBar::control_of(UINT id) const {
  for (const MenuBinding& e : entries_) {
    if (e.id == id) return e.control;
  }
  return nullptr;
}

std::string MenuBar::status_tip(UINT id) const {
  const Control* item = control_of(id);
  if (!item) return {};
  if (!item->tool_tip.empty()) return item->tool_tip;
  if (item->name.size() == 5 && item->name.compare(0, 4, "pcom") == 0) {
    const int number = item->name[4] - '0';
    if (number >= 1 && number <= 4) return port_.device_path(number);
  }
  return {};
}

}  // namespace zetra::ui
