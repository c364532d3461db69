#include "gui/common/helpwindow.h"

#include <QKeyEvent>
#include <QUrl>

#include "gui/common/uitext.h"

// The pages are compiled into a static library, whose resources must be
// registered by name (outside any namespace).
static void InitHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace quillark {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
  InitHelpResources();
  setWindowFlag(Qt::Window);
  Retranslate();
  setOpenExternalLinks(false);
  resize(640, 560);
}

void HelpWindow::SetTranslator(Translator* t) {
  translator = t;
  Retranslate();
}

void HelpWindow::Retranslate() {
  setWindowTitle(UiText(translator, 84300, "Quillark help"));
}

void HelpWindow::changeEvent(QEvent* e) {
  if (IsLanguageChange(e)) Retranslate();
  QTextBrowser::changeEvent(e);
}

void HelpWindow::keyPressEvent(QKeyEvent* e) {
  // Escape closes help as it closes every dialog.
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    hide();
    e->accept();
    return;
  }
  QTextBrowser::keyPressEvent(e);
}

void HelpWindow::ShowContext(int context) {
  QUrl page("qrc:/help/index.html");
  setSource(page);
  // Each context number has its anchor; an unknown one shows the contents.
  if (context > 0) scrollToAnchor(QString("ctx%1").arg(context));
  show();
  raise();
}

}  // namespace quillark
