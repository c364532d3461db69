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

#include "core/access/commands.h"

namespace quillark {

namespace {

// Colours are kept as 0x00BBGGRR.
QColor ToQColor(EventInfo::colour c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

constexpr std::size_t SILENCE = 0, ISOLATE = 1, RESET = 2, ZONE = 3, MAP = 4, CLOSE = 5, HELP = 6,
                      ACK = 7, ACKALL = 8;

}  // namespace

AlarmDispWindow::AlarmDispWindow(AlarmDisp& d, QWidget* parent) : QDialog(parent), disp(d) {
  setWindowTitle(QStringLiteral("Alarm/fault viewer"));
  setObjectName(QStringLiteral("AlarmViewer"));
  setModal(false);

  list = new QTreeWidget(this);
  list->setColumnCount(COLUMNS);
  list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Device"),
                         QStringLiteral("Location"), QStringLiteral("State")});
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
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
  list->setColumnWidth(COL_DATE, fm.horizontalAdvance(QStringLiteral("00/00/0000")) + pad);
  list->setColumnWidth(COL_TIME, fm.horizontalAdvance(QStringLiteral("00:00:00")) + pad);
  list->setColumnWidth(COL_DEVICE, fm.horizontalAdvance(QStringLiteral("00-000")) + pad);
  list->setColumnWidth(COL_LOCATION, fm.horizontalAdvance(QLatin1Char('x')) * 22 + pad);
  list->setMinimumSize(fm.horizontalAdvance(QLatin1Char('x')) * 90, 200);

  // Alt letters for every button, so that the viewer works without a mouse.
  static const char* const names[] = {"&Silence", "&Isolate",     "&Reset",
                                      "&Zone...", "&Map...",      "&Close",
                                      "&Help...", "&Acknowledge", "Acknowledge a&ll"};
  auto* row = new QHBoxLayout;
  for (std::size_t i = 0; i < buttons.size(); ++i)
    buttons[i] = new QPushButton(QString::fromLatin1(names[i]), this);
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
  // Ctrl+K acknowledges the selected line, Ctrl+Shift+K every line, from
  // anywhere in the window (keyPressEvent).
  buttons[ACK]->setToolTip(QStringLiteral("Acknowledge the selected line (Ctrl+K)"));
  buttons[ACKALL]->setToolTip(QStringLiteral("Acknowledge every line (Ctrl+Shift+K)"));
  // Without acknowledgement in the settings the viewer is as it always was.
  buttons[ACK]->setVisible(disp.AcknowledgeModel());
  buttons[ACKALL]->setVisible(disp.AcknowledgeModel());
  buttons[CLOSE]->setDefault(true);
  buttons[SILENCE]->setCheckable(true);
  // The Isolate button's widest text keeps the row from jumping.
  buttons[ISOLATE]->setMinimumWidth(
      buttons[ISOLATE]->sizeHint().width() +
      buttons[ISOLATE]->fontMetrics().horizontalAdvance(QStringLiteral("De-")));

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
    if (!updating) disp.Select(current == nullptr ? -1 : list->indexOfTopLevelItem(current));
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
  return list->topLevelItemCount();
}

QString AlarmDispWindow::LineText(int row) const {
  const QTreeWidgetItem* item = list->topLevelItem(row);
  return item == nullptr ? QString() : item->toolTip(COL_STATE);
}

int AlarmDispWindow::CurrentRow() const {
  QTreeWidgetItem* item = list->currentItem();
  return item == nullptr ? -1 : list->indexOfTopLevelItem(item);
}

void AlarmDispWindow::SelectRow(int row) {
  list->setCurrentItem(list->topLevelItem(row));
}

void AlarmDispWindow::AddItem(const AlarmLine& line) {
  auto* item = new QTreeWidgetItem;
  Fill(item, line);
  list->addTopLevelItem(item);
}

void AlarmDispWindow::Fill(QTreeWidgetItem* item, const AlarmLine& line) const {
  const AlarmColumns c = AlarmColumns::Split(line.text);
  // A line kept only to be seen says so in words: colour and weight alone
  // are lost on some screens and some eyes.
  const QString state = QString::fromStdString(c.state);
  const QStringList columns{QString::fromStdString(c.date), QString::fromStdString(c.time),
                            QString::fromStdString(c.device), QString::fromStdString(c.location),
                            line.cleared ? QStringLiteral("Cleared: ") + state : state};
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
  QTreeWidgetItem* item = list->topLevelItem(static_cast<int>(index));
  if (index >= lines.size() || item == nullptr) {
    Reload();
    return;
  }
  Fill(item, lines[index]);
  EnableActions(disp.ActionsEnabled());
}

void AlarmDispWindow::Reload() {
  updating = true;
  list->clear();
  for (const AlarmLine& line : disp.GetLines()) AddItem(line);
  SelectRow(disp.GetSelectedIndex());
  updating = false;
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
  buttons[ISOLATE]->setText(disp.SelectedIsIsolated() ? QStringLiteral("De-&isolate")
                                                      : QStringLiteral("&Isolate"));
  const bool silenced = disp.IsSilenced();
  buttons[SILENCE]->setChecked(silenced);
  buttons[SILENCE]->setText(silenced ? QStringLiteral("&Silenced") : QStringLiteral("&Silence"));
}

void AlarmDispWindow::LineRemoved(std::size_t index) {
  updating = true;
  delete list->takeTopLevelItem(static_cast<int>(index));
  updating = false;
  buttons[ACKALL]->setEnabled(disp.UnacknowledgedCount() > 0);
  RefreshButtons();
}

void AlarmDispWindow::LineAppended(std::size_t index) {
  const auto& lines = disp.GetLines();
  // The list mirrors the display line for line; anything else means a
  // change was missed, and the whole list is read again.
  if (index >= lines.size() || static_cast<int>(index) != list->topLevelItemCount()) {
    Reload();
    return;
  }
  updating = true;
  AddItem(lines[index]);
  updating = false;
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
