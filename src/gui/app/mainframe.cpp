#include "gui/app/mainframe.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <filesystem>

#include "core/access/commands.h"
#include "core/access/security.h"
#include "core/access/translator.h"
#include "core/app/dockingapp.h"
#include "core/app/mainwindow.h"
#include "core/events/notifier.h"
#include "gui/common/toolicons.h"
#include "gui/common/uitext.h"

namespace quillark {
namespace {

constexpr int TX_USERTIP = 69600;  // the tip of the logged-on user's field
constexpr int TX_INITIALISING = 81000;
constexpr int TX_ACCESSDROPPED = 81100;
constexpr int TX_TOOLBAR = 81200;

struct MenuEntry {
  int id;      // 0: separator
  int textid;  // in the string table, so that the menu follows the language
  const char* shortcut;
};

struct MenuDef {
  int titleid;
  std::vector<MenuEntry> entries;
};

// The main menu; every command of the command table that a person can choose.
// The commands that the device context menu offers as well use its texts.
const std::vector<MenuDef>& Menus() {
  static const std::vector<MenuDef> menus = {
      {66000,
       {{CMD_NEW, 66100, "Ctrl+N"},
        {CMD_OPEN, 66200, "Ctrl+O"},
        {0, 0, nullptr},
        {CMD_SAVEFNS, 66300, nullptr},
        {CMD_RESTOREFNS, 66400, nullptr},
        {0, 0, nullptr},
        {CMD_LOGTOPRINTER, 66500, nullptr},
        {0, 0, nullptr},
        {CMD_EXIT, 66600, "Alt+F4"}}},
      {66700,
       {{CMD_ISOLATE, 66800, "Ctrl+I"},
        {CMD_DEISOLATE, 66900, "Ctrl+D"},
        {CMD_SINGLERESET, 67000, "Ctrl+R"},
        {CMD_RESET, 67100, nullptr},
        {0, 0, nullptr},
        {CMD_ISOLATESELECTED, 50900, nullptr},
        {CMD_DEISOLATESELECTED, 51000, nullptr},
        {0, 0, nullptr},
        {CMD_HISTOGRAM, 18300, "Ctrl+H"},
        {CMD_CHARTLOG, 18400, nullptr},
        {CMD_EVENTLOG, 18500, "Ctrl+E"},
        {CMD_SINGLEDIAGNOSTICS, 18200, nullptr},
        {CMD_EDITDEVFN, 18600, nullptr},
        {CMD_FRONTPANEL, 18100, nullptr},
        {0, 0, nullptr},
        {CMD_EDITDETFN, 67200, nullptr},
        {CMD_EDITPSUFN, 67300, nullptr},
        {CMD_EDITCONTROLFN, 67400, nullptr},
        {CMD_SETCLOCKS, 67500, nullptr}}},
      {67600,
       {{CMD_ALARMDISPLAY, 67700, "F2"},
        {CMD_ACKNOWLEDGE, 67800, nullptr},
        {CMD_ACKNOWLEDGEALL, 67900, nullptr},
        {CMD_BUSDISPLAY, 68000, nullptr},
        {CMD_SYSTEMLOG, 68100, nullptr},
        {CMD_TOGGLEMAPVIEW, 68200, nullptr},
        {CMD_VIEWMAP, 18700, nullptr},
        {CMD_VIEWZONE, 18800, nullptr}}},
      {68300,
       {{CMD_SITECONF, 68400, nullptr},
        {CMD_COMMUNICATIONSETTINGS, 68500, nullptr},
        {CMD_COMMANDMODULE, 68600, nullptr},
        {CMD_DIAGNOSTICS, 68700, nullptr},
        {CMD_EMAIL, 68800, nullptr},
        {CMD_PAGER, 68900, nullptr},
        {CMD_LANGUAGE, 69000, nullptr},
        {0, 0, nullptr},
        {CMD_PASSWORDS, 69100, nullptr},
        {CMD_LOCK, 69200, "Ctrl+L"}}},
      {69300, {{CMD_CONTENTS, 69400, "F1"}, {CMD_ABOUT, 69500, nullptr}}},
  };
  return menus;
}

QColor ToQColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

}  // namespace

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Quillark demonstration version");
  userfield = new QLabel(this);
  userfield->setObjectName(QStringLiteral("user"));
  userfield->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  userfield->setToolTip(QStringLiteral("Logged on user and access level"));
  statusBar()->addPermanentWidget(userfield);
  statusfield = new QLabel(this);
  // Seventeen characters wide, like the field it replaces.
  statusfield->setMinimumWidth(statusfield->fontMetrics().horizontalAdvance(QString(17, 'M')));
  statusfield->setAutoFillBackground(true);
  statusfield->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusBar()->addPermanentWidget(statusfield);
  // Until communications report, the field says the program is starting;
  // the words follow the language once the translator is known.
  SetStatusText("Initialising...", RGB_BLACK, RGB_LIGHTYELLOW);
  statusreported = false;
  enabler.setInterval(500);
  connect(&enabler, &QTimer::timeout, this, &MainFrame::UpdateCommands);
}

void MainFrame::Attach(TDockingApp* a) {
  app = a;
  BuildMenus();
  BuildToolBar();
  ShowInitialising();
  UpdateCommands();
  enabler.start();
}

QAction* MainFrame::Action(int id) const {
  auto it = actions.find(id);
  return it == actions.end() ? nullptr : it->second;
}

QIcon MainFrame::CommandIcon(int id) const {
  QStyle* s = style();
  switch (id) {
    case CMD_OPEN:
      return s->standardIcon(QStyle::SP_DialogOpenButton);
    case CMD_CHARTLOG:
      return s->standardIcon(QStyle::SP_FileDialogDetailedView);
    case CMD_HISTOGRAM:
      return s->standardIcon(QStyle::SP_FileDialogContentsView);
    case CMD_EVENTLOG:
      return s->standardIcon(QStyle::SP_FileDialogListView);
    case CMD_DIAGNOSTICS:
      return s->standardIcon(QStyle::SP_DriveHDIcon);
    case CMD_BUSDISPLAY:
      return s->standardIcon(QStyle::SP_ComputerIcon);
    case CMD_EDITDEVFN:
      return s->standardIcon(QStyle::SP_FileDialogInfoView);
    case CMD_ALARMDISPLAY:
      return s->standardIcon(QStyle::SP_MessageBoxWarning);
    case CMD_SITECONF:
      return s->standardIcon(QStyle::SP_DirHomeIcon);
    case CMD_FRONTPANEL:
      return s->standardIcon(QStyle::SP_DesktopIcon);
    case CMD_TOGGLEMAPVIEW:
      return s->standardIcon(QStyle::SP_DirIcon);
    case CMD_LOCK:
      return LockIcon();
    case CMD_RESET:
      return s->standardIcon(QStyle::SP_BrowserReload);
    case CMD_CONTENTS:
      return HelpIcon();
    default:
      return QIcon();
  }
}

QString MainFrame::Text(int id) const {
  if (app == nullptr) return {};
  return QString::fromUtf8(app->GetServices().translator.GetTextInLanguage(id));
}

void MainFrame::BuildMenus() {
  menuBar()->clear();
  recentactions.clear();
  filemenu = nullptr;
  menus.clear();
  for (const auto& menu : Menus()) {
    QMenu* m = menuBar()->addMenu(Text(menu.titleid));
    menus.push_back(m);
    if (filemenu == nullptr) filemenu = m;
    for (const auto& e : menu.entries) {
      if (e.id == 0) {
        m->addSeparator();
        continue;
      }
      QAction* a = m->addAction(CommandIcon(e.id), Text(e.textid));
      if (e.shortcut != nullptr) a->setShortcut(QKeySequence(e.shortcut));
      const int id = e.id;
      if (id == CMD_LOGTOPRINTER) a->setCheckable(true);
      connect(a, &QAction::triggered, this, [this, id] {
        if (app != nullptr) app->ExecuteCommand(id);
        UpdateCommands();
      });
      actions[id] = a;
    }
  }
  ShowRecentFiles();
  shownlanguage = app != nullptr ? app->GetServices().translator.GetCurrentLanguage() : 0;
}

void MainFrame::Retranslate() {
  if (app == nullptr) return;
  // The actions stay (their state, shortcuts and the toolbar buttons that
  // share them); only their words change.
  const auto& defs = Menus();
  for (std::size_t i = 0; i < defs.size() && i < menus.size(); ++i) {
    menus[i]->setTitle(Text(defs[i].titleid));
    for (const auto& e : defs[i].entries)
      if (QAction* a = Action(e.id)) a->setText(Text(e.textid));
  }
  SetToolTips();
  if (toolbar != nullptr) toolbar->setWindowTitle(UiText(Tr(), TX_TOOLBAR, "Commands"));
  ShowInitialising();
  shownlanguage = app->GetServices().translator.GetCurrentLanguage();
  UseQtTextsIn(shownlanguage);
  // The open windows follow the menus.
  AnnounceLanguageChange();
}

Translator& MainFrame::Tr() const {
  return app->GetServices().translator;
}

void MainFrame::ShowInitialising() {
  if (app != nullptr && !statusreported)
    statusfield->setText(UiText(Tr(), TX_INITIALISING, "Initialising..."));
}

void MainFrame::SetToolTips() {
  for (auto& [id, a] : actions) a->setToolTip(a->text().remove('&').remove("...").trimmed());
  if (app != nullptr) userfield->setToolTip(Text(TX_USERTIP));
}

void MainFrame::SetRecentFiles(const std::vector<std::string>& files,
                               std::function<void(const std::string&)> open) {
  recentfiles = files;
  openrecent = std::move(open);
  ShowRecentFiles();
}

void MainFrame::ShowRecentFiles() {
  // The entries may be replaced from one of their own triggers, so they are
  // deleted once that has returned.
  for (QAction* a : recentactions) {
    if (filemenu != nullptr) filemenu->removeAction(a);
    a->deleteLater();
  }
  recentactions.clear();
  QAction* exit = Action(CMD_EXIT);
  if (filemenu == nullptr || exit == nullptr || recentfiles.empty()) return;
  int n = 0;
  for (const std::string& path : recentfiles) {
    ++n;
    // "&1 name", with the whole path in the tip; "&&" keeps a "&" in a name.
    QString name = QString::fromStdString(std::filesystem::path(path).filename().string());
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(n).arg(name.replace('&', "&&")), filemenu);
    a->setToolTip(QString::fromStdString(path));
    a->setStatusTip(QString::fromStdString(path));
    connect(a, &QAction::triggered, this, [this, path] {
      // A copy: opening may hand this window a new list and a new callback.
      auto open = openrecent;
      if (open) open(path);
    });
    filemenu->insertAction(exit, a);
    recentactions.push_back(a);
  }
  recentactions.push_back(filemenu->insertSeparator(exit));
}

void MainFrame::BuildToolBar() {
  QToolBar* bar = addToolBar(UiText(Tr(), TX_TOOLBAR, "Commands"));
  toolbar = bar;
  bar->setObjectName("commands");
  bar->setMovable(false);
  // The commands a person reaches for most, grouped as the separators say.
  const int order[] = {CMD_OPEN,        CMD_CHARTLOG,   CMD_HISTOGRAM,     CMD_EVENTLOG,
                       CMD_DIAGNOSTICS, CMD_BUSDISPLAY, CMD_EDITDEVFN,     CMD_ALARMDISPLAY,
                       CMD_SITECONF,    CMD_FRONTPANEL, CMD_TOGGLEMAPVIEW, CMD_LOCK,
                       CMD_RESET,       CMD_CONTENTS};
  for (int id : order) {
    QAction* a = Action(id);
    if (a == nullptr) continue;
    bar->addAction(a);
    switch (id) {
      case CMD_OPEN:
      case CMD_BUSDISPLAY:
      case CMD_EDITDEVFN:
      case CMD_SITECONF:
      case CMD_FRONTPANEL:
      case CMD_TOGGLEMAPVIEW:
      case CMD_RESET:
        bar->addSeparator();
        break;
      default:
        break;
    }
  }
  SetToolTips();
}

void MainFrame::UpdateCommands() {
  if (app == nullptr) return;
  // The language may be switched from elsewhere than the menu (the console).
  if (app->GetServices().translator.GetCurrentLanguage() != shownlanguage) Retranslate();
  for (auto& [id, action] : actions)
    action->setEnabled(app->HasCommandHandler(id) && app->IsCommandEnabled(id));
  if (QAction* printer = Action(CMD_LOGTOPRINTER)) {
    const TMainWindow* w = app->GetMainWindow();
    printer->setChecked(w != nullptr && w->GetNotifier() != nullptr &&
                        w->GetNotifier()->IsPrinterLogging());
  }
  if (Security* security =
          app->GetMainWindow() != nullptr ? app->GetMainWindow()->GetSecurity() : nullptr) {
    // A raised level drops back on its own; the operator sees it here, not
    // only at the next refusal.
    if (security->DropExpiredAccess())
      statusBar()->showMessage(UiText(Tr(), TX_ACCESSDROPPED, "Access dropped back to %1")
                                   .arg(QString::fromStdString(security->GetUser())),
                               30000);
    const QString user = QString::fromStdString(security->StatusText());
    if (user != userfield->text()) {
      userfield->setText(user);
      // Wide enough for the whole text at once, not after the next layout.
      userfield->setMinimumWidth(userfield->fontMetrics().horizontalAdvance(user) +
                                 2 * userfield->frameWidth() + 8);
      QCoreApplication::sendPostedEvents(statusBar(), QEvent::LayoutRequest);
    }
  }
  plaintitle = QString::fromStdString(app->GetTitle());
  if (!captioninverted && windowTitle() != plaintitle) setWindowTitle(plaintitle);
}

void MainFrame::SetStatusText(const std::string& text, Rgb foreground, Rgb background) {
  QPalette p = statusfield->palette();
  p.setColor(QPalette::WindowText, ToQColor(foreground));
  p.setColor(QPalette::Window, ToQColor(background));
  statusfield->setPalette(p);
  statusfield->setText(QString::fromStdString(text));
  statusreported = true;
}

void MainFrame::FlashCaption(bool invert) {
  // Repeated calls make the caption blink while communications are lost.
  if (!captioninverted) plaintitle = windowTitle();
  captioninverted = invert && !captioninverted;
  setWindowTitle(captioninverted ? "*** " + plaintitle + " ***" : plaintitle);
  if (invert) QApplication::alert(this);
}

void MainFrame::WarningBeep() {
  QApplication::beep();
}

void MainFrame::InstallExit(TDockingApp& a) {
  // QApplication::quit() would ask every window to close and give up at the
  // first refusal, leaving polling paused behind a running program; exit()
  // leaves every event loop, nested ones of modal dialogs too.
  a.SetQuitHook([] { QCoreApplication::exit(0); });
  SetCloseHandler([&a] { return a.ExecuteCommand(CMD_EXIT) == TDockingApp::CommandResult::DONE; });
}

void MainFrame::closeEvent(QCloseEvent* event) {
  if (!onclose) {
    event->accept();
    return;
  }
  // The window stays until the event loop has ended; a refused EXIT must not
  // leave a hidden main window over a running program.
  event->ignore();
  if (closing) return;
  closing = onclose();
}

}  // namespace quillark
