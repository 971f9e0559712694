// Rows of the main window: buttons, the two channel panels, chart with its vertical scroll bars,
// the horizontal scroll bar and the notes. Which widget shows a control follows from its kind.
#include "recorder/ui/qt/widget_builder.h"

#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <algorithm>

#include "recorder/ui/qt/menu_builder.h"

namespace zetra::ui {
namespace {

class WidgetBuilder {
 public:
  WidgetBuilder(QWidget& central, const ViewEvents& events, ViewBindings& bindings)
      : central_(central), events_(events), bindings_(bindings) {}

  void bind(Control& control, QWidget* widget) {
    widget->setObjectName(QString::fromStdString(control.name));
    bindings_.widgets.emplace_back(&control, widget);
  }

  QPushButton* button(Control& control) {
    auto* b = new QPushButton(display_text(control.caption), &central_);
    bind(control, b);
    if (!control.shortcut.empty()) b->setShortcut(key_sequence(control.shortcut));
    QObject::connect(b, &QPushButton::clicked, b,
                     [clicked = events_.clicked, name = control.name] { clicked(name); });
    return b;
  }

  QLabel* label(Control& control) {
    auto* l = new QLabel(QString::fromStdString(control.caption), &central_);
    bind(control, l);
    return l;
  }

  QLineEdit* line_edit(Control& control) {
    auto* edit = new QLineEdit(&central_);
    edit->setMaximumWidth(90);
    bind(control, edit);
    // Enter in a box does what its panel's button does (Conv for the calibration boxes). The
    // focus then rests on that button: Conv hides the boxes, and the focus must not fall through
    // to a button that a following Space would press (the other channel's Zero).
    if (!control.enter_runs.empty()) {
      QObject::connect(edit, &QLineEdit::returnPressed, edit,
                       [clicked = events_.clicked, name = control.enter_runs, &central = central_] {
                         clicked(name);
                         auto* button = central.findChild<QWidget*>(QString::fromStdString(name));
                         if (button && button->isVisible() && button->isEnabled()) {
                           button->setFocus(Qt::OtherFocusReason);
                         }
                       });
    }
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [edited = events_.text_edited, name = control.name](const QString& text) {
                       edited(name, text);
                     });
    return edit;
  }

  QPlainTextEdit* text_area(Control& control) {
    auto* edit = new QPlainTextEdit(&central_);
    bind(control, edit);
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit,
                     [edited = events_.text_edited, &control, edit] {
                       if (keep_within_limit(*edit, control)) return;  // the cut reports the text
                       edited(control.name, edit->toPlainText());
                     });
    return edit;
  }

  // What typing or pasting brought beyond the box's limit is taken out again, just before the
  // cursor where it went in; a box already beyond its limit may still shrink. True when text was
  // taken out (which changes the text once more).
  static bool keep_within_limit(QPlainTextEdit& edit, const Control& control) {
    if (control.max_length < 0) return false;
    const qsizetype length = edit.toPlainText().size();
    const qsizetype before = QString::fromStdString(control.caption).size();
    const qsizetype excess = length - std::max<qsizetype>(before, control.max_length);
    if (excess <= 0) return false;
    QTextCursor cursor = edit.textCursor();
    const int end = cursor.position();
    cursor.setPosition(std::max(0, end - static_cast<int>(excess)));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    return true;
  }

  QScrollBar* scroll_bar(Control& control) {
    auto* bar = new QScrollBar(control.vertical ? Qt::Vertical : Qt::Horizontal, &central_);
    bind(control, bar);
    // The view blocks this signal while it mirrors the model, so only user moves arrive here.
    QObject::connect(bar, &QScrollBar::valueChanged, bar,
                     [scrolled = events_.scrolled, name = control.name](int value) {
                       scrolled(name, value);
                     });
    return bar;
  }

  ChartWidget* chart(Control& control, platform::QtSurface& surface) {
    auto* c = new ChartWidget(surface, &central_);
    bind(control, c);
    c->setFocusPolicy(Qt::StrongFocus);  // the navigation keys reach it
    return c;
  }

  QWidget& central_;
  const ViewEvents& events_;
  ViewBindings& bindings_;
};

// The whole line height of the widget's font, descenders included, at the screen's DPI: the
// layout may not squeeze a label below it (the tail of the p in "pA" stays on the screen).
void fit_to_font(QWidget& widget) {
  widget.setMinimumHeight(QFontMetrics(widget.font()).height());
}

// A channel's title in bold: "CH1" or "CH2", coloured like its trace by the window.
void style_title(QLabel& label, const std::string& name) {
  if (name != "tch" && name != "tch2") return;
  QFont font = label.font();
  font.setBold(true);
  label.setFont(font);
  fit_to_font(label);
}

// Readouts in a fixed-pitch font so the digits stand still; the main readouts larger.
void style_readout(QLabel& label, const std::string& name) {
  if (name != "t1" && name != "t2" && name != "t4" && name != "t12" && name != "t22" &&
      name != "t42") {
    return;
  }
  QFont font("Monospace");
  font.setStyleHint(QFont::TypeWriter);
  if (name == "t2" || name == "t22") {
    font.setPointSize(16);
    font.setBold(true);
  }
  label.setFont(font);
  fit_to_font(label);
}

// The caption over a vertical scroll bar: small, bold, centred over its bar.
QLabel* bar_caption(WidgetBuilder& b, Control& c) {
  QLabel* l = b.label(c);
  QFont font = l->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 0.85);
  l->setFont(font);
  l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  return l;
}

bool is_entry_control(const Control& c) {
  return c.kind == ControlKind::Button || c.kind == ControlKind::TextBox ||
         c.name.compare(0, 2, "cl") == 0;
}

void add_panel_child(WidgetBuilder& b, Control& c, QHBoxLayout& readouts, QHBoxLayout& entry) {
  if (c.kind == ControlKind::Button) {
    // As tall as its text needs and no taller: two rows share a panel of fixed height.
    QPushButton* button = b.button(c);
    button->setFixedHeight(QFontMetrics(button->font()).height() + 6);
    entry.addWidget(button);
  } else if (c.kind == ControlKind::TextBox) {
    QLineEdit* edit = b.line_edit(c);
    edit->setFixedHeight(QFontMetrics(edit->font()).height() + 6);
    entry.addWidget(edit);
  } else if (c.kind == ControlKind::Label) {
    QLabel* l = b.label(c);
    style_readout(*l, c.name);
    style_title(*l, c.name);
    (is_entry_control(c) ? entry : readouts).addWidget(l);
  }
}

// A channel panel: readouts and indicators on top, its buttons and calibration entry below.
QFrame* panel(WidgetBuilder& b, WindowModel& window, Control& panel_control) {
  auto* frame = new QFrame(&b.central_);
  frame->setFrameShape(QFrame::StyledPanel);
  b.bind(panel_control, frame);
  auto* rows = new QVBoxLayout(frame);
  rows->setContentsMargins(6, 1, 6, 1);
  rows->setSpacing(1);
  auto* readouts = new QHBoxLayout;
  auto* entry = new QHBoxLayout;
  readouts->setSpacing(10);
  entry->setSpacing(4);
  rows->addLayout(readouts);
  rows->addLayout(entry);
  for (Control* c : window.controls()) {
    if (c->parent == panel_control.name) add_panel_child(b, *c, *readouts, *entry);
  }
  readouts->addStretch();
  entry->addStretch();
  return frame;
}

QWidget* button_row(WidgetBuilder& b, WindowModel& window) {
  auto* holder = new QWidget(&b.central_);
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 2, 0, 2);
  for (Control* c : window.controls()) {
    if (c->kind != ControlKind::Button || !c->parent.empty()) continue;
    if (c->name == "conoff") row->addSpacing(24);  // link and recording apart from file and edit
    QPushButton* button = b.button(*c);
    button->setParent(holder);
    row->addWidget(button);
  }
  row->addStretch();
  return holder;
}

}  // namespace

CentralWidgets build_central(QWidget& central, WindowModel& window, const ViewEvents& events,
                             ViewBindings& bindings, platform::QtSurface& chart_surface) {
  WidgetBuilder b(central, events, bindings);
  CentralWidgets result;
  result.button_row = button_row(b, window);
  for (Control* c : window.controls()) {
    if (c->kind == ControlKind::Panel) result.placed[c->name] = panel(b, window, *c);
    if (c->kind == ControlKind::Chart) result.chart = b.chart(*c, chart_surface);
    if (c->kind == ControlKind::ScrollBar) result.placed[c->name] = b.scroll_bar(*c);
    if (c->kind == ControlKind::Label && c->parent.empty()) {
      result.placed[c->name] = bar_caption(b, *c);
    }
    if (c->kind == ControlKind::TextBox && c->parent.empty()) {
      result.placed[c->name] = b.text_area(*c);
    }
  }
  return result;
}

}  // namespace zetra::ui
