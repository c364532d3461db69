#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "core/status/fnio.h"
#include "gui/common/progressdialog.h"

class QLabel;
class QProgressBar;

namespace quillark {

class TDockingApp;

// The progress of a save, restore or clock setting: a gauge, the device in
// hand and Cancel; it closes itself when the work ends.
class FnIoWindow : public ProgressDialog {
  Q_OBJECT

 public:
  FnIoWindow(FnIo& io, Translator& translator, QWidget* parent = nullptr);
  void Follow();
  void reject() override;

 private:
  FnIo& io;
};

// The ways into device settings: EDITDEVFN and its three kinds, opening
// .dfs, .pfs and .cfs files offline, SAVEFNS, RESTOREFNS and SETCLOCKS with
// their progress windows. The handlers go when this object goes.
class FunctionCommands {
 public:
  FunctionCommands(TDockingApp& app, QWidget* parent);
  ~FunctionCommands();
  FunctionCommands(const FunctionCommands&) = delete;
  FunctionCommands& operator=(const FunctionCommands&) = delete;

  // How a window is run; modally unless told otherwise (tests look at it
  // instead).
  void SetRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }
  // The settings of `device` on the site's file of its kind.
  void Edit(int device);
  // A function settings file with no bus.
  void EditOffline(const std::string& path, int filetype);
  void Transfer(FnIo::Mode mode);

 private:
  void Run(QDialog& dialog);

  TDockingApp& app;
  QWidget* parent;
  std::function<void(QDialog&)> runner;
  std::unique_ptr<FnIoWindow> progress;
};

}  // namespace quillark
