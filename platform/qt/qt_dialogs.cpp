// Maps the interface's icons, button sets and answers onto Qt's standard dialogs.
#include "platform/qt/qt_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

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

// "Label|pattern|Label|pattern" becomes Qt's "Label (pattern);;Label (pattern)", the pattern
// shown once also where the label already names it.
QString qt_filter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    entries << QString::fromStdString(
        filter_label(parts[i].toStdString(), parts[i + 1].toStdString()));
  }
  return entries.join(";;");
}

std::string file_dialog(QWidget* parent, QFileDialog::AcceptMode mode, const std::string& title,
                        const std::string& filter, const std::string& default_extension,
                        const std::string& initial_name) {
  QFileDialog dialog(parent, QString::fromStdString(title));
  dialog.setAcceptMode(mode);
  // New picks the name of a file still to be written through an open dialog, so any name goes.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(qt_filter(filter));
  dialog.setDefaultSuffix(QString::fromStdString(default_extension));
  if (!initial_name.empty()) dialog.selectFile(QString::fromStdString(initial_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front().toStdString();
}

QColor qt_colour(uint32_t packed) {
  return QColor(int(packed & 0xFF), int((packed >> 8) & 0xFF), int((packed >> 16) & 0xFF));
}

}  // namespace

std::string QtDialogs::open_file(const std::string& title, const std::string& filter,
                                 const std::string& default_extension,
                                 const std::string& initial_name) {
  return file_dialog(parent_, QFileDialog::AcceptOpen, title, filter, default_extension,
                     initial_name);
}

std::string QtDialogs::save_file(const std::string& title, const std::string& filter,
                                 const std::string& default_extension,
                                 const std::string& initial_name) {
  return file_dialog(parent_, QFileDialog::AcceptSave, title, filter, default_extension,
                     initial_name);
}

bool QtDialogs::choose_colour(uint32_t start, uint32_t& chosen) {
  const QColor colour = QColorDialog::getColor(qt_colour(start), parent_);
  if (!colour.isValid()) return false;
  chosen = uint32_t(colour.blue()) << 16 | uint32_t(colour.green()) << 8 | uint32_t(colour.red());
  return true;
}

int QtDialogs::choose_item(const std::string& prompt, const std::string& title,
                           const std::vector<std::string>& items, int current) {
  QStringList list;
  for (const std::string& item : items) list << QString::fromStdString(item);
  bool ok = false;
  const QString chosen =
      QInputDialog::getItem(parent_, QString::fromStdString(title), QString::fromStdString(prompt),
                            list, current < 0 ? 0 : current, false, &ok);
  return ok ? static_cast<int>(list.indexOf(chosen)) : -1;
}

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
