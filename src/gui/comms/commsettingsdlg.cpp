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

namespace quillark {
namespace {

QLineEdit* NumberField(const std::string& text, QWidget* parent) {
  auto* e = new QLineEdit(QString::fromStdString(text), parent);
  e->setMaxLength(10);
  e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000000000")) + 12);
  return e;
}

}  // namespace

CommSettingsDialog::CommSettingsDialog(INI& i, Translator& translate, Prompter& p, QWidget* parent)
    : QDialog(parent), ini(i), prompter(p), before(CommSettings::Read(i)) {
  setWindowTitle(QStringLiteral("Communications settings"));

  loops = new QSpinBox(this);
  loops->setRange(1, CommSettings::MAXLOOPS);
  loops->setValue(before.loops);

  // Sixteen loops do not fit a small screen: the ports scroll, the rest of
  // the dialog (OK above all) stays in view.
  ports = new QScrollArea(this);
  ports->setFrameShape(QFrame::NoFrame);
  ports->setWidgetResizable(true);
  ports->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  portbox = new QGroupBox(QStringLiteral("Ports"), ports);
  auto* grid = new QGridLayout(portbox);
  grid->addWidget(new QLabel(QStringLiteral("Port type"), portbox), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Port"), portbox), 0, 2);
  for (int l = 0; l < CommSettings::MAXLOOPS; ++l) {
    Row& row = rows[static_cast<std::size_t>(l)];
    const auto& port = before.ports[static_cast<std::size_t>(l)];
    row.label = new QLabel(QStringLiteral("Loop %1").arg(l + 1), portbox);
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
  monitor = new QCheckBox(QStringLiteral("Monitor from network"), this);
  monitor->setChecked(before.monitor);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Number of loops:"), this));
  top->addWidget(loops);
  top->addStretch();
  auto* buffers = new QFormLayout;
  buffers->addRow(QStringLiteral("Receive buffer (bytes):"), rxbuff);
  buffers->addRow(QStringLiteral("Transmit buffer (bytes):"), txbuff);
  buffers->addRow(QStringLiteral("Communications failure time-out (ms):"), timeout);
  buffers->addRow(QString(), monitor);

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
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
  ShowRows(before.loops);
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
  const std::string problem = s.Check();
  if (!problem.empty()) {
    prompter.Show("", problem, PromptIcon::STOP);
    return;
  }
  if (!s.Write(ini, before)) {
    prompter.Show("", "The settings could not be stored.", PromptIcon::STOP);
    return;
  }
  QDialog::accept();
}

}  // namespace quillark
