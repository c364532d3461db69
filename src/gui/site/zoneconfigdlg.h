#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillark {

class Prompter;
class TSiteConfig;
class Translator;

// The site's zones themselves: each zone's location text and plan picture.
// A zone exists in the site while it has a picture or a location; Ok writes
// every zone edited here into `site` (the editor's working copy, which only
// the editor's Ok saves), Cancel leaves it as it was.
class ZoneConfigDlg : public QDialog {
  Q_OBJECT

 public:
  ZoneConfigDlg(TSiteConfig& site, Translator& translator, Prompter* prompter,
                std::filesystem::path home, QWidget* parent = nullptr);

  // How Browse... asks for the picture; a file dialog unless told otherwise.
  void SetFileChooser(std::function<QString()> c) { chooser = std::move(c); }
  // Shows zone `zone` (1 to 127).
  void SelectZone(int zone);
  void accept() override;

 protected:
  void changeEvent(QEvent* e) override;

 private:
  struct Entry {
    std::string location;
    std::string map;
  };
  void Retranslate();
  void Keep();
  void Show();
  void Browse();

  TSiteConfig& site;
  Translator& translator;
  Prompter* prompter;
  std::filesystem::path home;
  std::function<QString()> chooser;
  std::map<int, Entry> edits;  // zone -> as edited here
  int shown = 1;
  QComboBox* zone;
  QLineEdit* location;
  QLineEdit* map;
  QLabel* zonelabel;
  QLabel* locationlabel;
  QLabel* maplabel;
  QLabel* note;
  QPushButton* browse;
  QPushButton* ok;
  QPushButton* cancel;
};

}  // namespace quillark
