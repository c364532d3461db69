#include "gui/status/alarmdispwindow.h"

#include <QCloseEvent>
#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/access/commands.h"
#include "gui/common/uitext.h"

namespace quillark {

namespace {

// Colours are kept as 0x00BBGGRR.
QColor ToQColor(EventInfo::colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

constexpr std::size_t SILENCE = 0, ISOLATE = 1, RESET = 2, ZONE = 3, MAP = 4, CLOSE = 5, HELP = 6,
                      ACK = 7, ACKALL = 8;

// Texts of the window.
enum : int {
  TX_TITLE = 56000,
  TX_DATE = 56050,
  TX_TIME = 56100,
  TX_DEVICE = 84500,
  TX_LOCATION = 56200,
  TX_STATE = 56250,
  TX_SILENCE = 56300,
  TX_SILENCED = 56350,
  TX_ZONE = 56400,
  TX_MAP = 56450,
  TX_CLOSE = 56500,
  TX_HELP = 56550,
  TX_ACK = 56600,
  TX_ACKALL = 56650,
  TX_ACKTIP = 56700,
  TX_ACKALLTIP = 56750,
  TX_FIRSTFIRE = 56800,
  TX_CLEARED = 56850,
  TX_ISOLATE = 66800,
  TX_DEISOLATE = 66900,
  TX_RESET = 67000,
};

}  // namespace

AlarmDispWindow::AlarmDispWindow(AlarmDisp& d, QWidget* parent) : QDialog(parent), disp(d) {
  setObjectName(QStringLiteral("AlarmViewer"));
  setModal(false);

  list = new QTreeWidget(this);
  list->setColumnCount(COLUMNS);
  // Groups of a loop's lines fold open and shut (Relayout shows their
  // handles only while there are groups).
  list->setRootIsDecorated(false);
  list->setItemsExpandable(true);
  list->setUniformRowHeights(true);
  list->setAllColumnsShowFocus(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  list->setTextElideMode(Qt::ElideRight);
  // Everything fits the width: the state takes what is left and is cut
  // short with "..." rather than scrolled sideways; the tool tip has it all.
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QHeaderView* header = list->header();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(true);
  header->setSectionsMovable(false);
  const QFontMetrics fm = list->fontMetrics();
  const int pad = fm.horizontalAdvance(QLatin1Char('M')) * 2;
  datewidth = fm.horizontalAdvance(QStringLiteral("00/00/0000")) + pad;
  list->setColumnWidth(COL_DATE, datewidth);
  list->setColumnWidth(COL_TIME, fm.horizontalAdvance(QStringLiteral("00:00:00")) + pad);
  list->setColumnWidth(COL_DEVICE, fm.horizontalAdvance(QStringLiteral("00-000")) + pad);
  list->setColumnWidth(COL_LOCATION, fm.horizontalAdvance(QLatin1Char('x')) * 22 + pad);
  list->setMinimumSize(fm.horizontalAdvance(QLatin1Char('x')) * 90, 200);

  auto* row = new QHBoxLayout;
  for (QPushButton*& b : buttons) b = new QPushButton(this);
  for (std::size_t i : {SILENCE, ISOLATE, RESET, ZONE, MAP, CLOSE, HELP}) {
    if (i == CLOSE) row->addStretch();
    row->addWidget(buttons[i]);
  }
  // Acknowledgement has a row of its own, above the others: the window
  // keeps the width it always had.
  auto* ackrow = new QHBoxLayout;
  ackrow->addWidget(buttons[ACK]);
  ackrow->addWidget(buttons[ACKALL]);
  ackrow->addStretch();
  for (QPushButton* b : buttons) b->setAutoDefault(false);
  // Without acknowledgement in the settings the viewer is as it always was.
  buttons[ACK]->setVisible(disp.AcknowledgeModel());
  buttons[ACKALL]->setVisible(disp.AcknowledgeModel());
  buttons[CLOSE]->setDefault(true);
  buttons[SILENCE]->setCheckable(true);

  // The banner is bold and framed, and says in words what is going on.
  banner = new QLabel(this);
  banner->setObjectName(QStringLiteral("floodbanner"));
  QFont bold = banner->font();
  bold.setBold(true);
  banner->setFont(bold);
  banner->setFrameStyle(QFrame::Panel | QFrame::Raised);
  banner->setMargin(4);
  banner->setVisible(false);
  bannertimer = new QTimer(this);
  bannertimer->setInterval(1000);
  connect(bannertimer, &QTimer::timeout, this, [this] { RefreshBanner(); });

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(2);
  layout->addWidget(banner);
  layout->addWidget(list, 1);
  layout->addSpacing(6);
  layout->addLayout(ackrow);
  layout->addLayout(row);

  connect(list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (!updating) disp.Select(LineOf(current));
  });
  connect(list, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (!updating && LineOf(item) < 0) folded.insert(item->data(0, Qt::UserRole + 1).toInt());
  });
  connect(list, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (!updating && LineOf(item) < 0) folded.erase(item->data(0, Qt::UserRole + 1).toInt());
  });
  connect(buttons[SILENCE], &QPushButton::clicked, this, [this] {
    disp.Silence();
    RefreshButtons();
  });
  connect(buttons[ACK], &QPushButton::clicked, this, [this] {
    if (runner) runner(CMD_ACKNOWLEDGE);
    EnableActions(disp.ActionsEnabled());
  });
  connect(buttons[ACKALL], &QPushButton::clicked, this, [this] {
    if (runner) runner(CMD_ACKNOWLEDGEALL);
    EnableActions(disp.ActionsEnabled());
  });
  connect(buttons[ISOLATE], &QPushButton::clicked, this, [this] { disp.Isolate(); });
  connect(buttons[RESET], &QPushButton::clicked, this, [this] { disp.Reset(); });
  connect(buttons[ZONE], &QPushButton::clicked, this, [this] { disp.Zone(); });
  connect(buttons[MAP], &QPushButton::clicked, this, [this] { disp.Map(); });
  connect(buttons[CLOSE], &QPushButton::clicked, this, [this] { hide(); });
  connect(buttons[HELP], &QPushButton::clicked, this, [this] {
    if (help) help(HELPTOPIC);
  });

  Retranslate();
  disp.SetObserver(this);
}

QString AlarmDispWindow::Text(int id, const char* english) const {
  return UiText(disp.GetTranslator(), id, english);
}

void AlarmDispWindow::Retranslate() {
  setWindowTitle(Text(TX_TITLE, "Alarm/fault viewer"));
  list->setHeaderLabels({Text(TX_DATE, "Date"), Text(TX_TIME, "Time"), Text(TX_DEVICE, "Device"),
                         Text(TX_LOCATION, "Location"), Text(TX_STATE, "State")});
  // Alt letters for every button, so that the viewer works without a mouse.
  buttons[RESET]->setText(Text(TX_RESET, "&Reset"));
  buttons[ZONE]->setText(Text(TX_ZONE, "&Zone..."));
  buttons[MAP]->setText(Text(TX_MAP, "&Map..."));
  buttons[CLOSE]->setText(Text(TX_CLOSE, "&Close"));
  buttons[HELP]->setText(Text(TX_HELP, "&Help..."));
  buttons[ACK]->setText(Text(TX_ACK, "&Acknowledge"));
  buttons[ACKALL]->setText(Text(TX_ACKALL, "Acknowledge a&ll"));
  // Ctrl+K acknowledges the selected line, Ctrl+Shift+K every line, from
  // anywhere in the window (keyPressEvent).
  buttons[ACK]->setToolTip(Text(TX_ACKTIP, "Acknowledge the selected line (Ctrl+K)"));
  buttons[ACKALL]->setToolTip(Text(TX_ACKALLTIP, "Acknowledge every line (Ctrl+Shift+K)"));
  // Isolate and Silence take the room of their wider text, so that the row
  // does not jump when the text changes.
  const auto widest = [](QPushButton* b, const QString& one, const QString& other) {
    b->setMinimumWidth(0);
    b->setText(one);
    int width = b->sizeHint().width();
    b->setText(other);
    width = std::max(width, b->sizeHint().width());
    b->setMinimumWidth(width);
  };
  widest(buttons[ISOLATE], Text(TX_DEISOLATE, "&De-isolate"), Text(TX_ISOLATE, "&Isolate"));
  widest(buttons[SILENCE], Text(TX_SILENCED, "&Silenced"), Text(TX_SILENCE, "&Silence"));
  // The lines say "First fire" and "Cleared", the headings and the banner
  // have words of their own: all are made again.
  Reload();
  RefreshBanner();
}

void AlarmDispWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

AlarmDispWindow::~AlarmDispWindow() {
  disp.SetObserver(nullptr);
}

QRect AlarmDispWindow::FullSizeRect(const QRect& mainwindow) {
  return QRect(mainwindow.width(), 0, mainwindow.width(), mainwindow.height());
}

void AlarmDispWindow::PlaceFullSize(const QRect& rect) {
  setGeometry(rect);
  buttons[CLOSE]->setEnabled(false);
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

void AlarmDispWindow::reject() {
  if (buttons[CLOSE]->isEnabled()) hide();
}

QPushButton* AlarmDispWindow::GetButton(int id) const {
  switch (id) {
    case IDC_SILENCE:
      return buttons[SILENCE];
    case IDC_ISOLATE:
      return buttons[ISOLATE];
    case IDC_RESET:
      return buttons[RESET];
    case IDC_ZONE:
      return buttons[ZONE];
    case IDC_MAP:
      return buttons[MAP];
    case IDC_CLOSE:
      return buttons[CLOSE];
    case IDC_HELP:
      return buttons[HELP];
    case IDC_ACKNOWLEDGE:
      return buttons[ACK];
    case IDC_ACKNOWLEDGEALL:
      return buttons[ACKALL];
    default:
      return nullptr;
  }
}

int AlarmDispWindow::Count() const {
  return static_cast<int>(items.size());
}

QTreeWidgetItem* AlarmDispWindow::Item(int line) const {
  return line >= 0 && static_cast<std::size_t>(line) < items.size()
             ? items[static_cast<std::size_t>(line)]
             : nullptr;
}

QString AlarmDispWindow::LineText(int line) const {
  const QTreeWidgetItem* item = Item(line);
  return item == nullptr ? QString() : item->toolTip(COL_STATE);
}

int AlarmDispWindow::LineOf(const QTreeWidgetItem* item) const {
  // Line items carry their index + 1; headings 0.
  return item == nullptr ? -1 : item->data(0, Qt::UserRole).toInt() - 1;
}

int AlarmDispWindow::CurrentRow() const {
  return LineOf(list->currentItem());
}

void AlarmDispWindow::SelectRow(int line) {
  list->setCurrentItem(Item(line));
}

QStringList AlarmDispWindow::ShownOrder() const {
  QStringList out;
  const auto add = [&](const QTreeWidgetItem* item) {
    if (LineOf(item) < 0)
      out << QLatin1Char('[') + item->text(0) + QLatin1Char(']');
    else
      out << (item == pinned ? QStringLiteral("*") : QString()) + item->text(COL_DEVICE);
  };
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* top = list->topLevelItem(i);
    add(top);
    for (int j = 0; j < top->childCount(); ++j) add(top->child(j));
  }
  return out;
}

void AlarmDispWindow::Relayout() {
  updating = true;
  const bool wasupdating = list->updatesEnabled();
  list->setUpdatesEnabled(false);
  // Everything is taken out of the tree (nothing is deleted but the old
  // headings) and put back in the new order.
  const QList<QTreeWidgetItem*> tops = list->invisibleRootItem()->takeChildren();
  for (QTreeWidgetItem* top : tops) {
    if (LineOf(top) >= 0) continue;
    top->takeChildren();
    delete top;
  }
  for (std::size_t i = 0; i < items.size(); ++i)
    items[i]->setData(0, Qt::UserRole, static_cast<int>(i) + 1);

  const std::vector<AlarmRow> rows = disp.ShownRows();
  const auto& lines = disp.GetLines();
  QTreeWidgetItem* newpinned = nullptr;
  QList<QTreeWidgetItem*> top;
  QTreeWidgetItem* group = nullptr;
  QList<QTreeWidgetItem*> children;
  const auto closegroup = [&] {
    if (group != nullptr) group->addChildren(children);
    children.clear();
    group = nullptr;
  };
  QFont bold = list->font();
  bold.setBold(true);
  for (const AlarmRow& r : rows) {
    if (r.heading) {
      closegroup();
      group = new QTreeWidgetItem;
      group->setText(0, QString::fromStdString(disp.GroupHeading(r.group)));
      group->setFont(0, bold);
      group->setData(0, Qt::UserRole, 0);
      group->setData(0, Qt::UserRole + 1, r.group.loop);
      group->setFlags(Qt::ItemIsEnabled);
      top << group;
      continue;
    }
    if (r.line >= items.size()) continue;
    QTreeWidgetItem* item = items[r.line];
    if (r.pinned) newpinned = item;
    (group != nullptr ? children : top) << item;
  }
  closegroup();
  if (newpinned != pinned) {
    const auto refill = [&](QTreeWidgetItem* item) {
      const int line = LineOf(item);
      if (line >= 0 && static_cast<std::size_t>(line) < lines.size())
        Fill(item, lines[static_cast<std::size_t>(line)], item == newpinned);
    };
    if (pinned != nullptr) refill(pinned);
    pinned = newpinned;
    if (pinned != nullptr) refill(pinned);
  }
  list->addTopLevelItems(top);
  bool grouped = false;
  for (QTreeWidgetItem* t : top) {
    if (LineOf(t) >= 0) continue;
    t->setFirstColumnSpanned(true);
    t->setExpanded(folded.count(t->data(0, Qt::UserRole + 1).toInt()) == 0);
    grouped = true;
  }
  if (list->rootIsDecorated() != grouped) {
    // The handles and the lines under a heading are indented: the date
    // column grows by as much, so the date is never cut short.
    list->setRootIsDecorated(grouped);
    list->setColumnWidth(COL_DATE, datewidth + (grouped ? 2 * list->indentation() : 0));
  }
  SelectRow(disp.GetSelectedIndex());
  list->setUpdatesEnabled(wasupdating);
  updating = false;
}

void AlarmDispWindow::Fill(QTreeWidgetItem* item, const AlarmLine& line, bool first) const {
  const AlarmColumns c = AlarmColumns::Split(line.text);
  // A line kept only to be seen says so in words: colour and weight alone
  // are lost on some screens and some eyes.
  const QString state = QString::fromStdString(c.state);
  const QStringList columns{
      QString::fromStdString(c.date), QString::fromStdString(c.time),
      QString::fromStdString(c.device), QString::fromStdString(c.location),
      (first ? Text(TX_FIRSTFIRE, "First fire:") + QLatin1Char(' ') : QString()) +
          (line.cleared ? Text(TX_CLEARED, "Cleared:") + QLatin1Char(' ') + state : state)};
  const QString whole = QString::fromStdString(line.text);
  // The configured colour stays as it is; the text takes whichever of black
  // and white reads on it. What waits for acknowledgement is bold.
  const QColor background = ToQColor(line.colour);
  const QColor text = ToQColor(EventInfo::ReadableTextOn(line.colour));
  QFont font = list->font();
  font.setBold(disp.AcknowledgeModel() && !line.acknowledged);
  font.setItalic(line.cleared);
  for (int i = 0; i < COLUMNS; ++i) {
    item->setText(i, columns[i]);
    item->setToolTip(i, whole);
    item->setBackground(i, background);
    item->setForeground(i, text);
    item->setFont(i, font);
  }
}

void AlarmDispWindow::LineChanged(std::size_t index) {
  const auto& lines = disp.GetLines();
  QTreeWidgetItem* item = Item(static_cast<int>(index));
  if (index >= lines.size() || item == nullptr || items.size() != lines.size()) {
    Reload();
    return;
  }
  Fill(item, lines[index], item == pinned);
  // A cleared line moves down.
  Relayout();
  EnableActions(disp.ActionsEnabled());
}

void AlarmDispWindow::Reload() {
  updating = true;
  list->clear();
  items.clear();
  pinned = nullptr;
  for (const AlarmLine& line : disp.GetLines()) {
    auto* item = new QTreeWidgetItem;
    Fill(item, line);
    items.push_back(item);
  }
  updating = false;
  Relayout();
  EnableActions(disp.ActionsEnabled());
}

void AlarmDispWindow::EnableActions(bool on) {
  const int selectedline = disp.GetSelectedIndex();
  buttons[ACK]->setEnabled(
      on && disp.AcknowledgeModel() && selectedline >= 0 &&
      !disp.GetLines().at(static_cast<std::size_t>(selectedline)).acknowledged);
  buttons[ACKALL]->setEnabled(disp.UnacknowledgedCount() > 0);
  for (std::size_t i : {SILENCE, ISOLATE, RESET}) buttons[i]->setEnabled(on);
  buttons[ZONE]->setEnabled(on && disp.CanShowZone());
  buttons[MAP]->setEnabled(on && disp.CanShowMap());
  RefreshButtons();
}

void AlarmDispWindow::RefreshButtons() {
  buttons[ISOLATE]->setText(disp.SelectedIsIsolated() ? Text(TX_DEISOLATE, "&De-isolate")
                                                      : Text(TX_ISOLATE, "&Isolate"));
  const bool silenced = disp.IsSilenced();
  buttons[SILENCE]->setChecked(silenced);
  buttons[SILENCE]->setText(silenced ? Text(TX_SILENCED, "&Silenced")
                                     : Text(TX_SILENCE, "&Silence"));
}

void AlarmDispWindow::LineRemoved(std::size_t index) {
  if (index >= items.size()) {
    Reload();
    return;
  }
  updating = true;
  if (items[index] == pinned) pinned = nullptr;
  // Deleting an item takes it out of the tree, wherever it sits.
  delete items[index];
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
  updating = false;
  Relayout();
  buttons[ACKALL]->setEnabled(disp.UnacknowledgedCount() > 0);
  RefreshButtons();
}

void AlarmDispWindow::LineAppended(std::size_t index) {
  const auto& lines = disp.GetLines();
  // The list mirrors the display line for line; anything else means a
  // change was missed, and the whole list is read again.
  if (index >= lines.size() || index != items.size()) {
    Reload();
    return;
  }
  auto* item = new QTreeWidgetItem;
  Fill(item, lines[index]);
  items.push_back(item);
  Relayout();
  // A changed line (isolated now, say) comes back as a new one.
  EnableActions(disp.ActionsEnabled());
  RefreshBanner();
}

void AlarmDispWindow::RefreshBanner() {
  const QString text = QString::fromStdString(disp.FloodBanner());
  if (banner->text() != text) banner->setText(text);
  banner->setVisible(!text.isEmpty());
  // While a flood lasts the banner is looked at once a second, to say
  // when it ended; otherwise nothing changes without a new line.
  if (disp.InFlood() && !bannertimer->isActive())
    bannertimer->start();
  else if (!disp.InFlood() && bannertimer->isActive())
    bannertimer->stop();
}

void AlarmDispWindow::LinesCleared() {
  updating = true;
  list->clear();
  items.clear();
  pinned = nullptr;
  updating = false;
  RefreshBanner();
  RefreshButtons();
}

void AlarmDispWindow::SelectionChanged(int index, bool actionsenabled) {
  updating = true;
  if (index < 0) {
    list->setCurrentItem(nullptr);
    list->clearSelection();
  } else {
    SelectRow(index);
  }
  updating = false;
  EnableActions(actionsenabled);
}

void AlarmDispWindow::ShowRequested() {
  // An alarm brings the window up, but must not take the keyboard from
  // whatever the operator is typing into.
  RefreshButtons();
  if (isVisible()) {
    raise();
    return;
  }
  setAttribute(Qt::WA_ShowWithoutActivating, true);
  show();
  raise();
}

void AlarmDispWindow::keyPressEvent(QKeyEvent* e) {
  // The list and the buttons leave Ctrl+letter alone, so the keys arrive
  // here whichever of them has the focus.
  const auto mods = e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  if (e->key() == Qt::Key_K && (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) {
    QPushButton* b = buttons[(mods & Qt::ShiftModifier) ? ACKALL : ACK];
    if (b->isVisibleTo(this) && b->isEnabled()) b->click();
    e->accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

void AlarmDispWindow::closeEvent(QCloseEvent* e) {
  // The window is never destroyed before the main window: closing hides it.
  e->ignore();
  if (buttons[CLOSE]->isEnabled()) hide();
}

}  // namespace quillark
