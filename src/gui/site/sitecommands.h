#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "gui/common/progressdialog.h"

class QLabel;
class QProgressBar;

namespace quillark {

class SiteScan;
class TDockingApp;
class Translator;

// The progress of a new site's discovery: a gauge, the device in hand and
// Cancel; it closes itself when the scan ends.
class SiteScanWindow : public ProgressDialog {
  Q_OBJECT

 public:
  SiteScanWindow(SiteScan& scan, Translator& translator, QWidget* parent = nullptr);
  void Follow();
  void reject() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  void Retranslate();

  SiteScan& scan;
  Translator& translator;
  bool started = false;
};

// NEW (a site discovered by scanning every loop, then the editor on it),
// SITECONF (the editor on the site in use) and opening a .cfg file (the
// editor on it). The handlers go when this object goes.
class SiteCommands {
 public:
  SiteCommands(TDockingApp& app, QWidget* parent);
  ~SiteCommands();
  SiteCommands(const SiteCommands&) = delete;
  SiteCommands& operator=(const SiteCommands&) = delete;

  // How a window is run; modally unless told otherwise (tests look at it
  // instead).
  void SetRunner(std::function<void(QDialog&)> r) { runner = std::move(r); }
  // Asks for the new site's file name; empty when the operator cancels.
  void SetFileAsker(std::function<std::string()> a) { asker = std::move(a); }
  // Where the editor's Help... goes.
  void SetHelpHandler(std::function<void(int)> h) { help = std::move(h); }
  void Configure();
  void New();
  SiteScan* GetScan() const { return scan.get(); }
  SiteScanWindow* GetScanWindow() const { return progress.get(); }

 private:
  void Run(QDialog& dialog);
  void ScanDone(bool ok, const std::string& summary);

  TDockingApp& app;
  QWidget* parent;
  std::function<void(QDialog&)> runner;
  std::function<std::string()> asker;
  std::function<void(int)> help;
  std::unique_ptr<SiteScan> scan;
  std::unique_ptr<SiteScanWindow> progress;
};

}  // namespace quillark
