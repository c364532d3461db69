#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QWidget>
#include <algorithm>

namespace quillark::test {

namespace fitdetail {

inline int TextWidth(const QFontMetrics& m, QString text) {
  // '&' marks a key letter and takes no room ("&&" is one ampersand).
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&');
  text.replace(QChar(1), QChar('&'));
  int widest = 0;
  for (const QString& line : text.split('\n')) widest = std::max(widest, m.horizontalAdvance(line));
  return widest;
}

inline QString Name(const QWidget& w, const QString& text) {
  return QStringLiteral("%1 \"%2\"").arg(QString::fromLatin1(w.metaObject()->className()), text);
}

}  // namespace fitdetail

// The texts of `window` that do not fit the room their widget has: labels,
// buttons, check and radio boxes, group box titles and tab titles that are
// shown. The window is shown and laid out first, at the size it has (or
// takes). An empty list means nothing is clipped.
inline QStringList ClippedTexts(QWidget& window) {
  using namespace fitdetail;
  window.show();
  if (window.layout() != nullptr) window.layout()->activate();
  QApplication::sendPostedEvents();
  QApplication::processEvents();
  QStringList clipped;
  for (QLabel* l : window.findChildren<QLabel*>()) {
    if (!l->isVisibleTo(&window) || l->wordWrap() || l->text().isEmpty()) continue;
    if (l->textFormat() == Qt::RichText || Qt::mightBeRichText(l->text())) continue;
    if (TextWidth(l->fontMetrics(), l->text()) > l->contentsRect().width() - 2 * l->margin())
      clipped << Name(*l, l->text());
  }
  for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
    if (!b->isVisibleTo(&window) || b->text().isEmpty()) continue;
    if (qobject_cast<QPushButton*>(b) == nullptr && qobject_cast<QCheckBox*>(b) == nullptr &&
        qobject_cast<QRadioButton*>(b) == nullptr)
      continue;
    // A button's size hint is the room its text and decoration need.
    if (b->sizeHint().width() > b->width() + 1) clipped << Name(*b, b->text());
  }
  for (QGroupBox* g : window.findChildren<QGroupBox*>()) {
    if (!g->isVisibleTo(&window) || g->title().isEmpty()) continue;
    if (TextWidth(g->fontMetrics(), g->title()) + 8 > g->width()) clipped << Name(*g, g->title());
  }
  for (QTabBar* t : window.findChildren<QTabBar*>()) {
    if (!t->isVisibleTo(&window)) continue;
    for (int i = 0; i < t->count(); ++i)
      if (TextWidth(t->fontMetrics(), t->tabText(i)) > t->tabRect(i).width())
        clipped << Name(*t, t->tabText(i));
  }
  return clipped;
}

}  // namespace quillark::test
