// Message and input boxes on QMessageBox and QInputDialog, with the titles and texts given.
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

 private:
  QPointer<QWidget> parent_;
};

}  // namespace zetra::platform
