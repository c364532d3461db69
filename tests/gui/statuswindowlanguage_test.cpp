// The status, view and diagnostics windows in the operator's language: an
// open window takes the new language at once, and no text of any of them is
// cut short in any language the program offers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>

#include "core/access/security.h"
#include "core/access/stringtable.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/diag/diag.h"
#include "core/status/selset.h"
#include "core/status/soplauncher.h"
#include "gui/common/uitext.h"
#include "gui/diag/diagwindow.h"
#include "gui/status/alarmdispwindow.h"
#include "gui/status/bmasterwindow.h"
#include "gui/status/busdispwindow.h"
#include "gui/status/sopdialogwindow.h"
#include "gui/views/frontpanelwindow.h"
#include "guihost.h"
#include "textfit.h"

namespace quillark::test {
namespace {

constexpr int OFFERED[] = {0, 2, 3, 4, 6, 8, 9, 11, 17};

class StatusWindowLanguage : public ::testing::Test {
 protected:
  ~StatusWindowLanguage() override { Switch(0); }
  Translator& Texts() { return core.App().GetServices().translator; }
  AlarmDisp& Alarms() { return *core.App().GetMainWindow()->GetAlarmDisplay(); }
  // The language dialog's way: the setting first, then the windows hear.
  void Switch(int language) {
    Texts().SetLanguage(language);
    AnnounceLanguageChange();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
  }
  // Every offered language in turn: nothing of `window` may be cut short.
  void ExpectFitsInEveryLanguage(QWidget& window, const char* name) {
    for (int language : OFFERED) {
      Switch(language);
      const QStringList clipped = ClippedTexts(window);
      EXPECT_TRUE(clipped.isEmpty())
          << name << " in language " << language << ": " << clipped.join(", ").toStdString();
    }
    Switch(0);
  }
  DemoCore core;
};

QStringList Headings(const QTreeWidget& list) {
  QStringList out;
  for (int i = 0; i < list.columnCount(); ++i) out << list.headerItem()->text(i);
  return out;
}

TEST_F(StatusWindowLanguage, AnOpenAlarmViewerTurnsGermanAtOnce) {
  Alarms().SetAcknowledgeModel(true);
  AlarmDispWindow w(Alarms());
  w.resize(900, 400);
  // A flood: the second loop fails device by device, and a fire and a
  // pre-alarm on the first loop; the fire is pinned above the groups.
  for (unsigned a = 11; a <= 40; ++a) Alarms().DecodeStatus(1, a, 0x01, 0, 0);
  Alarms().DecodeStatus(0, 21, 0x04, 0, 0);
  Alarms().DecodeStatus(0, 20, 0x08, 0, 0);
  ASSERT_TRUE(w.isVisible());
  const int row = Alarms().FindDevice(20);
  ASSERT_GE(row, 0);
  const auto state = [&] { return w.Item(row)->text(AlarmDispWindow::COL_STATE); };
  EXPECT_EQ(w.windowTitle(), "Alarm/fault viewer");
  EXPECT_TRUE(state().startsWith("First fire: ")) << state().toStdString();
  ASSERT_GE(w.ShownOrder().size(), 4);
  EXPECT_EQ(w.ShownOrder()[1], "[Loop 1: 1 line: 1 pre-alarm]");
  EXPECT_TRUE(w.Banner()->text().startsWith("Alarm flood: "));

  Switch(4);
  EXPECT_EQ(w.windowTitle(), "Alarm-/Störungsanzeige");
  EXPECT_EQ(Headings(*w.List()), (QStringList{"Datum", "Zeit", "Gerät", "Einbauort", "Zustand"}));
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_SILENCE)->text(), "&Stummschalten");
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_ISOLATE)->text(), "&Abschalten");
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_CLOSE)->text(), "S&chließen");
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGE)->text(), "&Quittieren");
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_ACKNOWLEDGEALL)->toolTip(),
            "Alle Zeilen quittieren (Strg+Umschalt+K)");
  // What is on screen already is worded again: the pinned first fire, the
  // groups' headings and the banner.
  EXPECT_TRUE(state().startsWith("Erster Feueralarm: ")) << state().toStdString();
  EXPECT_EQ(w.ShownOrder()[1], "[Ring 1: 1 Zeile: 1 Voralarm]");
  EXPECT_TRUE(w.Banner()->text().startsWith("Alarmflut: 32 neue Alarme"))
      << w.Banner()->text().toStdString();
  // A button whose text follows the state keeps to the language.
  w.SelectRow(row);
  w.GetButton(AlarmDispWindow::IDC_SILENCE)->click();
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_SILENCE)->text(), "&Stummgeschaltet");
  SaveGrab(w, "alarmdisp-german");

  Switch(0);
  EXPECT_EQ(w.windowTitle(), "Alarm/fault viewer");
  EXPECT_EQ(w.GetButton(AlarmDispWindow::IDC_SILENCE)->text(), "&Silenced");
  EXPECT_TRUE(state().startsWith("First fire: ")) << state().toStdString();
  EXPECT_EQ(w.ShownOrder()[1], "[Loop 1: 1 line: 1 pre-alarm]");
}

TEST_F(StatusWindowLanguage, OpenStatusAndViewWindowsFollowAChange) {
  BusDispWindow* bus = new BusDispWindow(core.App().GetBus());
  bus->show();
  CommandModuleWindow module(*core.App().GetMainWindow()->GetBusMaster());
  module.show();
  DiagWindow diag(core.App(), -1);
  diag.show();
  diag.Scan();
  ASSERT_GT(diag.List()->count(), 0);

  Switch(3);
  EXPECT_EQ(bus->windowTitle(), "Affichage du bus");
  EXPECT_EQ(bus->FastPollBox()->text(), "Afficher l'interrogation rapide");
  EXPECT_EQ(bus->ErrorRate()->text(), "Taux d'erreurs du bus 0%");
  EXPECT_EQ(bus->View()->model()->headerData(1, Qt::Horizontal).toString(), "Appareil source");
  EXPECT_EQ(module.windowTitle(), "Réglages du module de commande");
  EXPECT_EQ(module.EchoBox()->text(), "Renvoyer les réponses (écho)");
  EXPECT_EQ(diag.windowTitle(), QString::fromUtf8(FindString(61600 + 3)));
  // The rows are worded like their header, in the new language.
  EXPECT_EQ(diag.List()->count(), static_cast<int>(diag.Core().Rows().size()));

  Switch(4);
  EXPECT_EQ(diag.windowTitle(), "Diagnose");
  diag.List()->setCurrentRow(0);
  SaveGrab(diag, "diag-german");
  SaveGrab(*bus, "busdisp-german");

  Switch(0);
  EXPECT_EQ(bus->windowTitle(), "Bus viewer");
  EXPECT_EQ(bus->View()->model()->headerData(1, Qt::Horizontal).toString(), "Source device");
  EXPECT_EQ(module.windowTitle(), "Command module settings");
  bus->close();
}

TEST_F(StatusWindowLanguage, NoTextIsCutShortInAnyOfferedLanguage) {
  Alarms().SetAcknowledgeModel(true);
  {
    AlarmDispWindow w(Alarms());
    for (unsigned a = 11; a <= 40; ++a) Alarms().DecodeStatus(1, a, 0x01, 0, 0);
    Alarms().DecodeStatus(0, 20, 0x08, 0, 0);
    w.show();
    ExpectFitsInEveryLanguage(w, "alarm viewer");
  }
  {
    auto* w = new BusDispWindow(core.App().GetBus());
    ExpectFitsInEveryLanguage(*w, "bus viewer");
    w->close();
  }
  {
    CommandModuleWindow w(*core.App().GetMainWindow()->GetBusMaster());
    ExpectFitsInEveryLanguage(w, "command module settings");
  }
  {
    DiagWindow w(core.App(), -1);
    ExpectFitsInEveryLanguage(w, "diagnostics");
  }
  {
    SelfTestDialog w(core.App(), 0x0005);
    ExpectFitsInEveryLanguage(w, "self-test");
  }
  {
    ReadDialog w(core.App(), 0x0005);
    ExpectFitsInEveryLanguage(w, "continuous read");
  }
  {
    RelayDialog w(core.App(), 0x0005);
    ExpectFitsInEveryLanguage(w, "relays");
  }
  {
    ASSERT_TRUE(core.App().GetMainWindow()->GetSecurity()->LogOn("Operator", ""));
    QWidget parent;
    core.App().SetSelDetector(0x0005);
    FrontPanelWindow* w = FrontPanelWindow::Open(core.App(), &parent);
    ASSERT_NE(w, nullptr);
    ExpectFitsInEveryLanguage(*w, "front panel");
    w->close();
  }
  {
    SOPLauncher& launcher = *core.App().GetMainWindow()->GetSOPLauncher();
    SOPWindowHost host;
    launcher.SetOnChange([&host](SOPDialog* d) { host.Follow(d); });
    SelectionSet selection;
    selection.InsertInternalAddress(1);
    launcher.LaunchSopDialog(SOPC_MASS_DEISOLATE, selection);
    ASSERT_NE(host.GetWindow(), nullptr);
    ExpectFitsInEveryLanguage(*host.GetWindow(), "de-isolate progress");
    Switch(4);
    EXPECT_EQ(host.GetWindow()->windowTitle(), "Ausgewählte Melder wieder einschalten ...");
    launcher.CloseSopDialog();
    launcher.SetOnChange(nullptr);
  }
}

}  // namespace
}  // namespace quillark::test
