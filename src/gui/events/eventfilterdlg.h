#pragma once

#include <QDialog>
#include <array>

#include "core/events/filter.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace quillark {

class Translator;

// The "Event filter" dialog over a copy of the event log's filter. Its boxes
// follow each other as the operator clicks: "All" ticks every category,
// "None" clears them, "Faults" brings "Isolates" with it. OK keeps the copy.
class EventFilterDialog : public QDialog {
  Q_OBJECT
 public:
  EventFilterDialog(const EventFilterStruct& filter, Translator& translator,
                    QWidget* parent = nullptr);

  // The filter as the boxes and date fields stand.
  EventFilterStruct Filter() const;
  QCheckBox* Box(filterbox box) const { return boxes[static_cast<std::size_t>(box)]; }
  QLineEdit* StartDate() const { return start; }
  QLineEdit* EndDate() const { return end; }

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  void Clicked(filterbox box, bool on);
  void Show();

  Translator& translate;
  EventFilterStruct filter;
  QGroupBox* categories = nullptr;
  QLabel* andlabel = nullptr;
  std::array<QCheckBox*, FB_COUNT> boxes{};
  QLineEdit* start = nullptr;
  QLineEdit* end = nullptr;
};

}  // namespace quillark
