// Maps the interface's icons, button sets and answers onto Qt's standard dialogs.
#include "platform/qt/qt_dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace zetra::platform {
namespace {

QMessageBox::Icon qt_icon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qt_buttons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
  }
  return QMessageBox::Ok;
}

MessageAnswer answer(int button) {
  switch (button) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return MessageAnswer::Cancel;  // Cancel, Escape or the close box
  }
}

}  // namespace

MessageAnswer QtDialogs::message_box(const std::string& text, const std::string& title,
                                     MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(qt_icon(icon), QString::fromStdString(title), QString::fromStdString(text),
                  qt_buttons(buttons), parent_);
  return answer(box.exec());
}

std::string QtDialogs::input_box(const std::string& prompt, const std::string& title,
                                 const std::string& default_text) {
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent_, QString::fromStdString(title), QString::fromStdString(prompt),
                            QLineEdit::Normal, QString::fromStdString(default_text), &ok);
  return ok ? text.toStdString() : std::string();
}

}  // namespace zetra::platform
