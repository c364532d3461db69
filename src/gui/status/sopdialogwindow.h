#pragma once

#include <QDialog>
#include <QPointer>
#include <array>

#include "core/status/soplauncher.h"

class QCheckBox;
class QCloseEvent;
class QEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quillark {

// The mass isolate / de-isolate window: a view over one SOPDialog, which
// decides every text, count and the progress. The window follows the
// dialog's change listener and hands Close and the auto-close box back.
class SOPDialogWindow : public QDialog {
  Q_OBJECT

 public:
  // Becomes `dialog`'s change listener. The dialog's owner destroys this
  // window before (or when) it destroys the dialog.
  explicit SOPDialogWindow(SOPDialog& dialog, QWidget* parent = nullptr);
  ~SOPDialogWindow() override;

  // Reads everything the dialog shows.
  void Refresh();

  QLabel* Label(int id) const;     // 501..505
  QLineEdit* Field(int id) const;  // 521..525
  QProgressBar* Progress() const { return progress; }
  QCheckBox* AutoClose() const { return autoclose; }
  QPushButton* CloseButton() const { return closebutton; }

 public slots:
  // Esc and Close both ask the dialog to close; its owner then removes it.
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  // The window's own texts in the current language, and the operation's.
  void Retranslate();
  SOPDialog* dialog;
  std::array<QLabel*, 5> labels{};
  std::array<QLineEdit*, 5> fields{};
  QProgressBar* progress = nullptr;
  QCheckBox* autoclose = nullptr;
  QPushButton* closebutton = nullptr;
};

// Keeps one SOPDialogWindow on whatever mass operation the launcher has open:
// give Follow to the SOPLauncher as its change callback.
class SOPWindowHost {
 public:
  explicit SOPWindowHost(QWidget* parent = nullptr) : parent(parent) {}
  ~SOPWindowHost();
  SOPWindowHost(const SOPWindowHost&) = delete;
  SOPWindowHost& operator=(const SOPWindowHost&) = delete;

  // A new dialog (shown over `parent`), or nullptr when it has gone.
  void Follow(SOPDialog* dialog);
  SOPDialogWindow* GetWindow() const { return window; }

 private:
  QPointer<QWidget> parent;
  QPointer<SOPDialogWindow> window;
};

}  // namespace quillark
