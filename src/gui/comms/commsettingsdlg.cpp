#include "gui/comms/commsettingsdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/access/translator.h"
#include "core/platform/prompter.h"
#include "gui/common/uibuttonbox.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

QLineEdit* NumberField(const std::string& text, QWidget* parent) {
  auto* e = new QLineEdit(QString::fromStdString(text), parent);
  e->setMaxLength(10);
  e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 12);
  return e;
}

constexpr int TX_PORTS = 83400;
constexpr int TX_PORTTYPE = 83500;
constexpr int TX_PORT = 83600;
constexpr int TX_MONITOR = 83700;
constexpr int TX_LOOPS = 83800;
constexpr int TX_RXBUFF = 83900;
constexpr int TX_TXBUFF = 84000;
constexpr int TX_TIMEOUT = 84100;
constexpr int TX_NOTSTORED = 84200;
constexpr int TX_TITLE = 68500;  // the menu command
constexpr int TX_LOOP = 65000;

}  // namespace

CommSettingsDialog::CommSettingsDialog(INI& i, Translator& t, Prompter& p, QWidget* parent)
    : QDialog(parent), ini(i), prompter(p), translate(t), before(CommSettings::Read(i)) {
  loops = new QSpinBox(this);
  loops->setRange(1, CommSettings::MAXLOOPS);
  loops->setValue(before.loops);

  // Sixteen loops do not fit a small screen: the ports scroll, the rest of
  // the dialog (OK above all) stays in view.
  ports = new QScrollArea(this);
  ports->setFrameShape(QFrame::NoFrame);
  ports->setWidgetResizable(true);
  ports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  portbox = new QGroupBox(ports);
  auto* grid = new QGridLayout(portbox);
  typeheading = new QLabel(portbox);
  portheading = new QLabel(portbox);
  grid->addWidget(typeheading, 0, 1);
  grid->addWidget(portheading, 0, 2);
  for (int l = 0; l < CommSettings::MAXLOOPS; ++l) {
    Row& row = rows[static_cast<std::size_t>(l)];
    const auto& port = before.ports[static_cast<std::size_t>(l)];
    row.label = new QLabel(portbox);
    row.type = new QComboBox(portbox);
    for (int t = 0; t < CommSettings::PORTTYPES; ++t)
      row.type->addItem(
          QString::fromStdString(translate.Text(CommSettings::PORTTYPENAMES + 100 * t)));
    row.type->setCurrentIndex(port.type);
    row.value = new QLineEdit(QString::fromStdString(port.value), portbox);
    row.value->setMaxLength(127);
    row.value->setMinimumWidth(row.value->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 14);
    grid->addWidget(row.label, l + 1, 0);
    grid->addWidget(row.type, l + 1, 1);
    grid->addWidget(row.value, l + 1, 2);
    // A new type starts from its own default unless what is there suits it.
    connect(row.type, &QComboBox::currentIndexChanged, this, [this, l](int type) {
      QLineEdit* value = rows[static_cast<std::size_t>(l)].value;
      if (!CommSettings::CheckPortValue(type, value->text().toStdString()).empty())
        value->setText(QString::fromLatin1(CommSettings::DefaultPortValue(type)));
    });
  }

  rxbuff = NumberField(before.rxbuff, this);
  txbuff = NumberField(before.txbuff, this);
  timeout = NumberField(before.commsfailtimeout, this);
  monitor = new QCheckBox(this);
  monitor->setChecked(before.monitor);

  auto* top = new QHBoxLayout;
  loopslabel = new QLabel(this);
  top->addWidget(loopslabel);
  top->addWidget(loops);
  top->addStretch();
  auto* buffers = new QFormLayout;
  rxlabel = new QLabel(this);
  txlabel = new QLabel(this);
  timeoutlabel = new QLabel(this);
  buffers->addRow(rxlabel, rxbuff);
  buffers->addRow(txlabel, txbuff);
  buffers->addRow(timeoutlabel, timeout);
  buffers->addRow(QString(), monitor);

  auto* box = new UiButtonBox(&translate, QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  ports->setWidget(portbox);
  layout->addWidget(ports);
  layout->addLayout(buffers);
  layout->addWidget(box);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(loops, &QSpinBox::valueChanged, this, &CommSettingsDialog::ShowRows);
  Retranslate();
  ShowRows(before.loops);
}

void CommSettingsDialog::Retranslate() {
  setWindowTitle(PlainUiText(translate, TX_TITLE, "&Communications settings..."));
  portbox->setTitle(UiText(translate, TX_PORTS, "Ports"));
  typeheading->setText(UiText(translate, TX_PORTTYPE, "Port type"));
  portheading->setText(UiText(translate, TX_PORT, "Port"));
  const QString loop = UiText(translate, TX_LOOP, "Loop");
  for (int l = 0; l < CommSettings::MAXLOOPS; ++l) {
    Row& row = rows[static_cast<std::size_t>(l)];
    row.label->setText(QStringLiteral("%1 %2").arg(loop).arg(l + 1));
    for (int t = 0; t < CommSettings::PORTTYPES && t < row.type->count(); ++t)
      row.type->setItemText(
          t, QString::fromStdString(translate.Text(CommSettings::PORTTYPENAMES + 100 * t)));
  }
  monitor->setText(UiText(translate, TX_MONITOR, "Monitor from network"));
  loopslabel->setText(UiText(translate, TX_LOOPS, "Number of loops:"));
  rxlabel->setText(UiText(translate, TX_RXBUFF, "Receive buffer (bytes):"));
  txlabel->setText(UiText(translate, TX_TXBUFF, "Transmit buffer (bytes):"));
  timeoutlabel->setText(UiText(translate, TX_TIMEOUT, "Communications failure time-out (ms):"));
  // Longer words need wider columns; the rows are measured again.
  if (isVisible()) FitPorts();
}

void CommSettingsDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void CommSettingsDialog::ShowRows(int count) {
  for (int l = 0; l < CommSettings::MAXLOOPS; ++l) {
    const Row& row = rows[static_cast<std::size_t>(l)];
    const bool on = l < count;
    row.label->setVisible(on);
    row.type->setVisible(on);
    row.value->setVisible(on);
  }
  FitPorts();
}

void CommSettingsDialog::showEvent(QShowEvent* event) {
  // Sizes are only right once the style has polished the widgets.
  FitPorts();
  QDialog::showEvent(event);
}

void CommSettingsDialog::FitPorts() {
  const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  FitPortsTo(shown != nullptr ? shown->availableGeometry().height() : 0);
}

void CommSettingsDialog::FitPortsTo(int screenheight) {
  portbox->ensurePolished();
  portbox->layout()->invalidate();
  portbox->layout()->activate();
  const QSize rows = portbox->sizeHint();
  // As tall as the rows shown, but never so tall that the dialog leaves the
  // screen: what is left after the other parts of the dialog.
  const int room = screenheight > 0 ? screenheight - RESERVEDHEIGHT : rows.height();
  const bool scrolls = rows.height() > room;
  // The bar is there exactly when the rows do not fit, and its width is
  // added then, so it never covers the Port column.
  ports->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  const int frame = 2 * ports->frameWidth();
  ports->setFixedHeight(std::max(MINPORTSHEIGHT, std::min(rows.height(), room)) + frame);
  ports->setFixedWidth(rows.width() + frame +
                       (scrolls ? ports->verticalScrollBar()->sizeHint().width() : 0));
  // The dialog takes its new size now, not at the next pass of the loop.
  if (layout() != nullptr) layout()->activate();
}

CommSettings CommSettingsDialog::Shown() const {
  CommSettings s = before;
  s.loops = loops->value();
  for (int l = 0; l < CommSettings::MAXLOOPS; ++l) {
    const Row& row = rows[static_cast<std::size_t>(l)];
    s.ports[static_cast<std::size_t>(l)].type = row.type->currentIndex();
    s.ports[static_cast<std::size_t>(l)].value = row.value->text().toStdString();
  }
  s.rxbuff = rxbuff->text().toStdString();
  s.txbuff = txbuff->text().toStdString();
  s.commsfailtimeout = timeout->text().toStdString();
  s.monitor = monitor->isChecked();
  return s;
}

void CommSettingsDialog::accept() {
  const CommSettings s = Shown();
  const std::string problem = s.Check(&translate);
  if (!problem.empty()) {
    prompter.Show("", problem, PromptIcon::STOP);
    return;
  }
  if (!s.Write(ini, before)) {
    prompter.Show("", translate.TextOr(TX_NOTSTORED, "The settings could not be stored."),
                  PromptIcon::STOP);
    return;
  }
  QDialog::accept();
}

}  // namespace quillark
