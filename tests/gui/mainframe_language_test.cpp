// The main menu in the operator's language: switched from the LANGUAGE
// command it changes at once, switched from elsewhere at the next update.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <optional>

#include "core/access/commands.h"
#include "core/access/logonprompt.h"
#include "core/access/security.h"
#include "core/access/stringtable.h"
#include "core/access/translator.h"
#include "core/app/mainwindow.h"
#include "gui/access/languagedlg.h"
#include "gui/app/desktop.h"
#include "gui/app/mainframe.h"
#include "guihost.h"

namespace quillark::test {
namespace {

QStringList MenuTitles(MainFrame& frame) {
  QStringList titles;
  for (QAction* a : frame.menuBar()->actions()) titles << a->text();
  return titles;
}

QStringList TableTexts(std::initializer_list<int> ids, int language) {
  QStringList texts;
  for (int id : ids) {
    const char* text = FindString(id + language);
    texts << QString::fromUtf8(text != nullptr ? text : "<missing>");
  }
  return texts;
}

// The letter after the '&' of a menu text, in lower case; none without one.
QChar KeyLetter(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// Counts the language changes a window is told of.
class Listener : public QWidget {
 public:
  int changes = 0;

 protected:
  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::LanguageChange) ++changes;
    QWidget::changeEvent(e);
  }
};

QString CancelButtonText() {
  QDialogButtonBox box(QDialogButtonBox::Cancel);
  return box.button(QDialogButtonBox::Cancel)->text();
}

QStringList LabelTexts(QWidget& w) {
  QStringList texts;
  for (QLabel* label : w.findChildren<QLabel*>()) texts << label->text();
  return texts;
}

const std::initializer_list<int> TITLES = {66000, 66700, 67600, 68300, 69300};

TEST(MainFrameLanguage, LanguageCommandRetitlesMenusAndTipsAtOnce) {
  DemoCore core;
  TDockingApp& app = core.App();
  MainFrame frame;
  frame.resize(1000, 400);
  Desktop desktop(app, core.host.ini, frame);
  frame.Attach(&app);
  EXPECT_EQ(MenuTitles(frame), TableTexts(TITLES, 0));
  EXPECT_EQ(MenuTitles(frame), (QStringList{"&File", "&Device", "&View", "&Options", "&Help"}));
  SaveGrab(frame, "mainframe-english");

  AnswerLogOn administrator("Administrator");
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(&administrator);
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<LanguageDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->Languages()->setCurrentIndex(dialog->Languages()->findText("German"));
    dialog->accept();
  });
  frame.Action(CMD_LANGUAGE)->trigger();
  app.GetMainWindow()->GetSecurity()->SetLogOnPrompt(nullptr);
  ASSERT_EQ(app.GetServices().translator.GetCurrentLanguage(), 4);

  // No update has run: the command itself rebuilt the texts.
  EXPECT_EQ(MenuTitles(frame), TableTexts(TITLES, 4));
  EXPECT_EQ(MenuTitles(frame),
            (QStringList{"&Datei", "&Gerät", "&Ansicht", "&Optionen", "&Hilfe"}));
  EXPECT_EQ(frame.Action(CMD_HISTOGRAM)->text(), "Histogramm...");
  EXPECT_EQ(frame.Action(CMD_OPEN)->text(), "Ö&ffnen...");
  EXPECT_EQ(frame.Action(CMD_OPEN)->toolTip(), "Öffnen");
  EXPECT_EQ(frame.Action(CMD_LOCK)->toolTip(), "Sperren");
  // The actions are the same ones: shortcuts and the toolbar stay with them.
  EXPECT_EQ(frame.Action(CMD_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
  frame.show();
  SaveGrab(frame, "mainframe-german");
  QMenu* device = frame.menuBar()->actions().at(1)->menu();
  device->adjustSize();
  SaveGrab(*device, "mainframe-german-device-menu");

  // Switched elsewhere (the console): the next regular update follows.
  app.GetServices().translator.SetLanguage(3);
  frame.UpdateCommands();
  EXPECT_EQ(MenuTitles(frame), TableTexts(TITLES, 3));
  EXPECT_EQ(frame.Action(CMD_EXIT)->text(), "&Quitter");
  app.GetServices().translator.SetLanguage(0);
  frame.UpdateCommands();
  EXPECT_EQ(MenuTitles(frame), (QStringList{"&File", "&Device", "&View", "&Options", "&Help"}));
  EXPECT_EQ(frame.Action(CMD_OPEN)->toolTip(), "Open");
  frame.hide();
}

TEST(MainFrameLanguage, EveryMenuTextComesFromTheTableInEveryOfferedLanguage) {
  DemoCore core;
  MainFrame frame;
  frame.Attach(&core.App());
  Translator& translator = core.App().GetServices().translator;
  for (int language : {0, 2, 3, 4, 6, 8, 9, 11, 17}) {
    translator.SetLanguage(language);
    frame.Retranslate();
    // Alt and the key letter must reach one menu, and in an open menu the
    // letter one command: a letter used twice only moves between them.
    QSet<QChar> titlekeys;
    for (QAction* title : frame.menuBar()->actions()) {
      ASSERT_NE(title->menu(), nullptr);
      EXPECT_FALSE(title->text().isEmpty()) << language;
      const QChar titlekey = KeyLetter(title->text());
      EXPECT_FALSE(!titlekey.isNull() && titlekeys.contains(titlekey))
          << language << " " << title->text().toStdString();
      titlekeys.insert(titlekey);
      QSet<QChar> keys;
      for (QAction* a : title->menu()->actions()) {
        if (a->isSeparator()) continue;
        // An empty text is a number missing from the table.
        EXPECT_FALSE(a->text().isEmpty()) << language;
        EXPECT_FALSE(a->toolTip().contains('&')) << a->toolTip().toStdString();
        const QChar key = KeyLetter(a->text());
        EXPECT_FALSE(!key.isNull() && keys.contains(key))
            << language << " " << a->text().toStdString();
        keys.insert(key);
      }
    }
  }
  // The last one is Russian: Cyrillic in the menu bar and a menu.
  frame.resize(1000, 400);
  frame.show();
  SaveGrab(frame, "mainframe-russian");
  QMenu* device = frame.menuBar()->actions().at(1)->menu();
  device->adjustSize();
  SaveGrab(*device, "mainframe-russian-device-menu");
  frame.hide();
}

TEST(MainFrameLanguage, QtsOwnTextsFollowTheLanguageAndEachWindowHearsOfItOnce) {
  DemoCore core;
  MainFrame frame;
  frame.Attach(&core.App());
  Translator& translator = core.App().GetServices().translator;
  Listener window;
  window.show();

  translator.SetLanguage(4);
  frame.Retranslate();
  QApplication::processEvents();
  EXPECT_EQ(window.changes, 1);
  EXPECT_EQ(CancelButtonText(), "Abbrechen");
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Suchen in:");
  {
    QFileDialog files(&window);
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.resize(700, 420);
    files.show();
    EXPECT_TRUE(LabelTexts(files).contains("Suchen in:"))
        << LabelTexts(files).join('|').toStdString();
    SaveGrab(files, "filedialog-german");
  }

  // Dutch formats numbers as German does, but Qt's texts are Dutch.
  translator.SetLanguage(2);
  frame.UpdateCommands();
  QApplication::processEvents();
  EXPECT_EQ(window.changes, 2);
  EXPECT_EQ(CancelButtonText(), "Annuleren");

  translator.SetLanguage(0);
  frame.Retranslate();
  QApplication::processEvents();
  EXPECT_EQ(window.changes, 3);
  EXPECT_EQ(CancelButtonText(), "Cancel");
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
}

}  // namespace
}  // namespace quillark::test
