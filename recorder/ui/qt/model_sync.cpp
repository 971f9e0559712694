// Each setter is skipped when the widget already shows the value, so a sync after every event
// costs little and does not disturb the cursor of a box being typed in.
#include "recorder/ui/qt/model_sync.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>

#include "recorder/ui/qt/menu_builder.h"

namespace zetra::ui {

QString display_text(const std::string& caption) {
  QString text = QString::fromStdString(caption);
  text.replace('&', "&&");
  return text;
}

namespace {

void sync_common(const Control& control, QWidget& widget) {
  if (widget.isEnabled() != control.enabled) widget.setEnabled(control.enabled);
  // isHidden, not isVisible: a widget of a window not yet shown is not visible either.
  if (widget.isHidden() == control.visible) widget.setVisible(control.visible);
  QString tip = QString::fromStdString(control.tool_tip);
  // The status line and its field: the whole text, should a narrow window cut it.
  if (tip.isEmpty() && (control.kind == ControlKind::StatusBar || control.parent == "st1")) {
    tip = QString::fromStdString(control.caption).trimmed();
  }
  // A button's key has no menu to show it: the tip names it.
  if (!control.shortcut.empty() && !tip.isEmpty()) {
    tip += " (" + key_sequence(control.shortcut).toString(QKeySequence::NativeText) + ")";
  }
  if (widget.toolTip() != tip) widget.setToolTip(tip);
}

void sync_scroll_bar(const Control& control, QScrollBar& bar) {
  // Programmatic changes are not user moves: the change signal stays silent.
  const QSignalBlocker quiet(bar);
  if (bar.minimum() != control.minimum || bar.maximum() != control.maximum) {
    bar.setRange(control.minimum, control.maximum);
  }
  if (bar.value() != control.value) bar.setValue(control.value);
  if (bar.singleStep() != control.small_change) bar.setSingleStep(control.small_change);
  if (bar.pageStep() != control.large_change) bar.setPageStep(control.large_change);
}

void sync_text_box(const Control& control, QWidget& widget) {
  // The hidden scratch box can hold a whole recording as text: it is mirrored only when shown.
  if (!control.visible) return;
  const QString text = QString::fromStdString(control.caption);
  // The model's text shown is not an edit: a box that writes it differently (a plain-text area
  // turns CR LF into LF) must not hand that back as typed.
  const QSignalBlocker quiet(widget);
  if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
    const int limit = control.max_length < 0 ? 32767 : control.max_length;
    if (edit->maxLength() != limit) edit->setMaxLength(limit);
    if (edit->text() != text) edit->setText(text);
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(&widget)) {
    if (area->toPlainText() != text) area->setPlainText(text);
  }
}

Qt::CursorShape cursor_shape(Pointer pointer) {
  switch (pointer) {
    case Pointer::Cross: return Qt::CrossCursor;
    case Pointer::Busy: return Qt::WaitCursor;
    case Pointer::Default: break;
  }
  return Qt::ArrowCursor;
}

void sync_content(const Control& control, QWidget& widget) {
  switch (control.kind) {
    case ControlKind::Button:
      static_cast<QPushButton&>(widget).setText(display_text(control.caption));
      break;
    case ControlKind::Label:
      static_cast<QLabel&>(widget).setText(QString::fromStdString(control.caption));
      break;
    case ControlKind::TextBox: sync_text_box(control, widget); break;
    case ControlKind::ScrollBar: sync_scroll_bar(control, static_cast<QScrollBar&>(widget)); break;
    case ControlKind::Chart:
      if (widget.cursor().shape() != cursor_shape(control.pointer)) {
        widget.setCursor(cursor_shape(control.pointer));
      }
      break;
    case ControlKind::StatusBar: {
      auto* text = widget.findChild<QLabel*>("st1_text");
      if (text) text->setText(QString::fromStdString(control.caption));
      break;
    }
    default: break;
  }
}

}  // namespace

void sync_action(const Control& control, QAction& action) {
  if (control.kind != ControlKind::Separator) {
    action.setText(display_text(control.caption));
    if (control.checked && !action.isCheckable()) action.setCheckable(true);
    if (action.isChecked() != control.checked) action.setChecked(control.checked);
  }
  action.setEnabled(control.enabled);
  action.setVisible(control.visible);
  if (!control.tool_tip.empty()) action.setToolTip(QString::fromStdString(control.tool_tip));
}

void sync_widget(const Control& control, QWidget& widget) {
  sync_content(control, widget);
  sync_common(control, widget);
}

void sync_all(const ViewBindings& bindings) {
  for (const auto& [control, action] : bindings.actions) sync_action(*control, *action);
  for (const auto& [control, widget] : bindings.widgets) sync_widget(*control, *widget);
}

}  // namespace zetra::ui
