// Message, input, file and colour dialogs on Qt's standard dialogs, with the titles and texts given.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/dialogs.h"

namespace zetra::platform {

class QtDialogs final : public Dialogs {
 public:
  // The main window, once it exists, so that the boxes sit over it and block it.
  void set_parent(QWidget* parent) { parent_ = parent; }

  MessageAnswer message_box(const std::string& text, const std::string& title, MessageIcon icon,
                            MessageButtons buttons) override;
  std::string input_box(const std::string& prompt, const std::string& title,
                        const std::string& default_text) override;
  std::string open_file(const std::string& title, const std::string& filter,
                        const std::string& default_extension,
                        const std::string& initial_name) override;
  std::string save_file(const std::string& title, const std::string& filter,
                        const std::string& default_extension,
                        const std::string& initial_name) override;
  bool choose_colour(uint32_t start, uint32_t& chosen) override;
  int choose_item(const std::string& prompt, const std::string& title,
                  const std::vector<std::string>& items, int current) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace zetra::platform
