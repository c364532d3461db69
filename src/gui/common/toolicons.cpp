#include "gui/common/toolicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace quillark {
namespace {

// Every picture is drawn on a 32-unit grid and scaled, so each size is drawn
// sharp rather than blown up from a small bitmap.
QIcon Draw(const std::function<void(QPainter&)>& paint) {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paint(p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon LockIcon() {
  return Draw([](QPainter& p) {
    // The shackle, then the body over its feet.
    p.setPen(QPen(QColor(90, 96, 104), 3.2, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(10, 15);
    shackle.lineTo(10, 10);
    shackle.arcTo(QRectF(10, 3, 12, 14), 180, -180);
    shackle.lineTo(22, 15);
    p.drawPath(shackle);
    QLinearGradient body(0, 14, 0, 30);
    body.setColorAt(0, QColor(250, 204, 70));
    body.setColorAt(1, QColor(196, 140, 20));
    p.setPen(QPen(QColor(120, 84, 10), 1.2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, 14, 20, 16), 3, 3);
    // The keyhole.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 40, 5));
    p.drawEllipse(QPointF(16, 20.5), 2.2, 2.2);
    p.drawRect(QRectF(15.1, 21, 1.8, 5));
  });
}

QIcon HelpIcon() {
  return Draw([](QPainter& p) {
    QRadialGradient disc(QPointF(12, 10), 20);
    disc.setColorAt(0, QColor(90, 150, 235));
    disc.setColorAt(1, QColor(20, 70, 160));
    p.setPen(QPen(QColor(15, 50, 120), 1.2));
    p.setBrush(disc);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    QFont font;
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
  });
}

}  // namespace quillark
