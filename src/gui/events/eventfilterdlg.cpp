#include "gui/events/eventfilterdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/common/uibuttonbox.h"
#include "gui/common/uitext.h"

namespace quillark {

EventFilterDialog::EventFilterDialog(const EventFilterStruct& f, Translator& t, QWidget* parent)
    : QDialog(parent), translate(t), filter(f) {
  setModal(true);

  for (int b = 0; b < FB_COUNT; ++b) {
    auto* box = new QCheckBox(this);
    const auto id = static_cast<filterbox>(b);
    connect(box, &QCheckBox::clicked, this, [this, id](bool on) { Clicked(id, on); });
    boxes[static_cast<std::size_t>(b)] = box;
  }

  categories = new QGroupBox(this);
  auto* grid = new QGridLayout(categories);
  const int rows = (FB_POWERUPS + 2) / 2;
  for (int b = FB_RESET; b <= FB_POWERUPS; ++b)
    grid->addWidget(Box(static_cast<filterbox>(b)), b % rows, b / rows);
  grid->addWidget(Box(FB_ALL), rows, 0);
  grid->addWidget(Box(FB_NONE), rows, 1);

  // Day/month/year, as the date filter reads it.
  auto makedate = [this] {
    auto* edit = new QLineEdit(this);
    edit->setMaxLength(EventFilterStruct::DATETEXT - 1);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    return edit;
  };
  start = makedate();
  end = makedate();
  auto* dates = new QHBoxLayout;
  dates->addWidget(Box(FB_DATE));
  dates->addWidget(start);
  andlabel = new QLabel(this);
  dates->addWidget(andlabel);
  dates->addWidget(end);
  dates->addStretch();

  auto* buttons =
      new UiButtonBox(&translate, QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(categories);
  layout->addLayout(dates);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  start->setText(QString::fromLatin1(filter.start));
  end->setText(QString::fromLatin1(filter.end));
  Show();
  Retranslate();
}

void EventFilterDialog::Retranslate() {
  setWindowTitle(UiText(translate, 85500, "Event filter"));
  categories->setTitle(UiText(translate, 85600, "Show"));
  andlabel->setText(UiText(translate, 85700, "and"));
  for (QLineEdit* e : {start, end}) e->setPlaceholderText(UiText(translate, 85800, "dd/mm/yyyy"));
  for (int b = 0; b < FB_COUNT; ++b)
    boxes[static_cast<std::size_t>(b)]->setText(
        QString::fromStdString(FilterBoxName(static_cast<filterbox>(b), &translate)));
}

void EventFilterDialog::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QDialog::changeEvent(e);
}

void EventFilterDialog::Clicked(filterbox box, bool on) {
  SetFilterBox(filter, box, on);
  Show();
}

void EventFilterDialog::Show() {
  for (int b = 0; b < FB_COUNT; ++b) {
    QCheckBox* box = boxes[static_cast<std::size_t>(b)];
    box->setChecked(filter.Box(static_cast<filterbox>(b)) != 0);
  }
}

EventFilterStruct EventFilterDialog::Filter() const {
  EventFilterStruct out = filter;
  out.SetStart(start->text().toStdString());
  out.SetEnd(end->text().toStdString());
  return out;
}

void EventFilterDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* s = screen()) {
    QRect r = frameGeometry();
    r.moveCenter(s->availableGeometry().center());
    move(r.topLeft());
  }
}

}  // namespace quillark
