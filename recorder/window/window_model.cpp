#include "recorder/window/window_model.h"

#include <stdexcept>

namespace zetra {

Control& WindowModel::add(Control control) {
  if (has(control.name)) throw std::invalid_argument("duplicate control: " + control.name);
  Control& stored = storage_.emplace_back(std::move(control));
  order_.push_back(&stored);
  by_name_.emplace(stored.name, &stored);
  return stored;
}

bool WindowModel::has(std::string_view name) const { return by_name_.find(name) != by_name_.end(); }

Control& WindowModel::operator[](std::string_view name) {
  auto it = by_name_.find(name);
  if (it == by_name_.end()) throw std::out_of_range("no control named " + std::string(name));
  return *it->second;
}

const Control& WindowModel::operator[](std::string_view name) const {
  return const_cast<WindowModel&>(*this)[name];
}

void WindowModel::check(std::string_view name) {
  Control& item = (*this)[name];
  if (!item.group.empty()) {
    for (Control* member : group(item.group)) member->checked = false;
  }
  item.checked = true;
}

const Control* WindowModel::checked_in(std::string_view group_name) const {
  for (const Control* control : order_) {
    if (control->group == group_name && control->checked) return control;
  }
  return nullptr;
}

std::vector<Control*> WindowModel::group(std::string_view group_name) const {
  std::vector<Control*> members;
  for (Control* control : order_) {
    if (control->group == group_name) members.push_back(control);
  }
  return members;
}

void WindowModel::on(std::string_view name, Handler handler) {
  (*this)[name];  // a handler for an unknown control is a programming error
  handlers_.insert_or_assign(std::string(name), std::move(handler));
}

bool WindowModel::has_handler(std::string_view name) const {
  return handlers_.find(name) != handlers_.end();
}

bool WindowModel::reachable(const Control& control) const {
  for (const Control* c = &control;;) {
    if (!c->enabled || !c->visible) return false;
    if (c->parent.empty()) return true;
    auto it = by_name_.find(c->parent);
    if (it == by_name_.end()) return true;
    c = it->second;
  }
}

bool WindowModel::run(std::string_view name) {
  if (!reachable((*this)[name])) return false;
  return invoke(name);
}

bool WindowModel::invoke(std::string_view name) {
  auto it = handlers_.find(name);
  if (it == handlers_.end()) return false;
  // A copy, so a handler that re-registers handlers cannot pull the function from under itself.
  Handler handler = it->second;
  handler();
  return true;
}

void WindowModel::scroll(std::string_view name, int value) {
  Control& bar = (*this)[name];
  bar.value = value;
  invoke(name);
}

}  // namespace zetra
