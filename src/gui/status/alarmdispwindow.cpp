#include "gui/status/alarmdispwindow.h"

#include <QCloseEvent>
#include <QColor>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillark {

namespace {

// Colours are kept as 0x00BBGGRR.
QColor ToQColor(EventInfo::colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

// The headings sit over the columns of the fixed-pitch lines: the date at
// character 0, the time at 12, the device text at 22 (AlarmDisp::DEVICETEXT)
// and what follows it a device text later.
QString Headings() {
  QString h = QStringLiteral("Date");
  h = h.leftJustified(12, ' ') + QStringLiteral("Time");
  h = h.leftJustified(static_cast<int>(AlarmDisp::DEVICETEXT), ' ') + QStringLiteral("Detector");
  h = h.leftJustified(static_cast<int>(AlarmDisp::DEVICETEXT) + 10, ' ') + QStringLiteral("Status");
  return h;
}

}  // namespace

AlarmDispWindow::AlarmDispWindow(AlarmDisp& d, QWidget* parent) : QDialog(parent), disp(d) {
  setWindowTitle(QStringLiteral("Alarm/fault viewer"));
  setObjectName(QStringLiteral("AlarmViewer"));
  setModal(false);

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  headings = new QLabel(Headings(), this);
  headings->setFont(fixed);
  headings->setIndent(4);
  list = new QListWidget(this);
  list->setFont(fixed);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  list->setUniformItemSizes(true);
  list->setMinimumSize(list->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 90, 200);

  static const char* const names[] = {"Silence", "Isolate", "Reset",  "Zone...",
                                      "Map...",  "Close",   "Help..."};
  auto* row = new QHBoxLayout;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    buttons[i] = new QPushButton(QString::fromLatin1(names[i]), this);
    buttons[i]->setAutoDefault(false);
    if (i == 5) row->addStretch();
    row->addWidget(buttons[i]);
  }
  buttons[5]->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(2);
  layout->addWidget(headings);
  layout->addWidget(list, 1);
  layout->addSpacing(6);
  layout->addLayout(row);

  connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updating) disp.Select(row);
  });
  connect(buttons[0], &QPushButton::clicked, this, [this] { disp.Silence(); });
  connect(buttons[1], &QPushButton::clicked, this, [this] { disp.Isolate(); });
  connect(buttons[2], &QPushButton::clicked, this, [this] { disp.Reset(); });
  connect(buttons[3], &QPushButton::clicked, this, [this] { disp.Zone(); });
  connect(buttons[4], &QPushButton::clicked, this, [this] { disp.Map(); });
  connect(buttons[5], &QPushButton::clicked, this, [this] { hide(); });
  connect(buttons[6], &QPushButton::clicked, this, [this] {
    if (help) help(HELPTOPIC);
  });

  Reload();
  disp.SetObserver(this);
}

AlarmDispWindow::~AlarmDispWindow() {
  disp.SetObserver(nullptr);
}

QRect AlarmDispWindow::FullSizeRect(const QRect& mainwindow) {
  return QRect(mainwindow.width(), 0, mainwindow.width(), mainwindow.height());
}

void AlarmDispWindow::PlaceFullSize(const QRect& rect) {
  setGeometry(rect);
  buttons[5]->setEnabled(false);
  show();
}

void AlarmDispWindow::Toggle() {
  if (isVisible()) {
    hide();
    return;
  }
  setAttribute(Qt::WA_ShowWithoutActivating, false);
  show();
  raise();
  activateWindow();
}

QPushButton* AlarmDispWindow::GetButton(int id) const {
  switch (id) {
    case IDC_SILENCE:
      return buttons[0];
    case IDC_ISOLATE:
      return buttons[1];
    case IDC_RESET:
      return buttons[2];
    case IDC_ZONE:
      return buttons[3];
    case IDC_MAP:
      return buttons[4];
    case IDC_CLOSE:
      return buttons[5];
    case IDC_HELP:
      return buttons[6];
    default:
      return nullptr;
  }
}

void AlarmDispWindow::AddItem(const AlarmLine& line) {
  auto* item = new QListWidgetItem(QString::fromStdString(line.text));
  item->setBackground(ToQColor(line.colour));
  list->addItem(item);
}

void AlarmDispWindow::Reload() {
  updating = true;
  list->clear();
  for (const AlarmLine& line : disp.GetLines()) AddItem(line);
  list->setCurrentRow(disp.GetSelectedIndex());
  updating = false;
  EnableActions(disp.ActionsEnabled());
}

void AlarmDispWindow::EnableActions(bool on) {
  for (std::size_t i = 0; i < 5; ++i) buttons[i]->setEnabled(on);
}

void AlarmDispWindow::LineRemoved(std::size_t index) {
  updating = true;
  delete list->takeItem(static_cast<int>(index));
  updating = false;
}

void AlarmDispWindow::LineAppended(std::size_t index) {
  const auto& lines = disp.GetLines();
  // The list mirrors the display line for line; anything else means a
  // change was missed, and the whole list is read again.
  if (index >= lines.size() || static_cast<int>(index) != list->count()) {
    Reload();
    return;
  }
  updating = true;
  AddItem(lines[index]);
  updating = false;
}

void AlarmDispWindow::LinesCleared() {
  updating = true;
  list->clear();
  updating = false;
}

void AlarmDispWindow::SelectionChanged(int index, bool actionsenabled) {
  updating = true;
  if (index < 0)
    list->setCurrentRow(-1, QItemSelectionModel::Clear);
  else
    list->setCurrentRow(index);
  updating = false;
  EnableActions(actionsenabled);
}

void AlarmDispWindow::ShowRequested() {
  // An alarm brings the window up, but must not take the keyboard from
  // whatever the operator is typing into.
  if (isVisible()) {
    raise();
    return;
  }
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  show();
  raise();
}

void AlarmDispWindow::closeEvent(QCloseEvent* e) {
  // The window is never destroyed before the main window: closing hides it.
  e->ignore();
  if (buttons[5]->isEnabled()) hide();
}

}  // namespace quillark
