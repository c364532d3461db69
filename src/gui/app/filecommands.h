#pragma once

#include <QString>
#include <functional>
#include <string>

#include "core/app/recentfiles.h"

class QWidget;

namespace quillark {

class INI;
class MainFrame;
class TDockingApp;

// The OPEN command and the recent files list of the File menu: a file chosen
// in the open dialog, or from the list, is opened by its type; files opened
// or saved anywhere join the list, which is kept in the settings.
class FileCommands {
 public:
  // The open dialog's types, named in the current language.
  QString OpenFilter() const;

  FileCommands(TDockingApp& app, INI& ini, MainFrame& frame);
  ~FileCommands();
  FileCommands(const FileCommands&) = delete;
  FileCommands& operator=(const FileCommands&) = delete;

  // The open dialog; tests answer it themselves. Empty is a cancel.
  using FileChooser = std::function<QString(QWidget* parent, const QString& filter)>;
  void SetFileChooser(FileChooser c) { choosefile = std::move(c); }

  // Opens a file by its type and lists it when something opened it.
  bool Open(const std::string& path);
  // A file opened or saved: first on the list and in the menu.
  void AddRecent(const std::string& path);
  const RecentFiles& Recent() const { return recent; }

 private:
  void ShowRecent();

  TDockingApp& app;
  MainFrame& frame;
  RecentFiles recent;
  FileChooser choosefile;
};

}  // namespace quillark
