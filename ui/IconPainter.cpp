#include "ui/IconPainter.h"

#include <cstring>
#include <functional>

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace VORLIN {

const char* const IconPainter::kNames[] = {
    "DB_SOLUCION", "DB_LOCAL",    "DB_SERVER", "DB_MYSQL",    "DB_ODBC", "DB_TABLE", "DB_FIELD",
    "DB_DB",       "DB_QUERYWND", "DB_INSERT", "DB_EJECUTAR", "NEW",     "OPEN",     "SAVE",
    "CANCEL",      "INFO",        "ERROR",     "ALERT",       "ASK",     "STOP",     "DB_LOST",
};
const int IconPainter::kNameCount = int(sizeof(kNames) / sizeof(kNames[0]));

namespace {

// Every picture is drawn on a 32 x 32 canvas, scaled to the pixmap size.
using Drawing = std::function<void(QPainter&)>;

void cylinder(QPainter& p, const QColor& body, qreal x = 6, qreal y = 4, qreal w = 20,
              qreal h = 24) {
    const qreal cap = h * 0.25;
    QPainterPath side;
    side.moveTo(x, y + cap / 2);
    side.lineTo(x, y + h - cap / 2);
    side.arcTo(QRectF(x, y + h - cap, w, cap), 180, 180);
    side.lineTo(x + w, y + cap / 2);
    side.closeSubpath();
    p.setPen(QPen(body.darker(160), 1.2));
    QLinearGradient shade(x, 0, x + w, 0);
    shade.setColorAt(0, body.lighter(125));
    shade.setColorAt(0.6, body);
    shade.setColorAt(1, body.darker(130));
    p.setBrush(shade);
    p.drawPath(side);
    // Bands between the platters.
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i < 3; ++i) {
        const qreal band = y + cap / 2 + (h - cap) * i / 3.0;
        p.drawArc(QRectF(x, band - cap / 2, w, cap), 180 * 16, 180 * 16);
    }
    p.setBrush(body.lighter(150));
    p.drawEllipse(QRectF(x, y, w, cap));
}

void roundSign(QPainter& p, const QColor& color, const QString& mark) {
    p.setPen(QPen(color.darker(140), 1.2));
    QRadialGradient g(13, 11, 18);
    g.setColorAt(0, color.lighter(140));
    g.setColorAt(1, color);
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    QFont f;
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, mark);
}

void cross(QPainter& p, const QColor& color, qreal inset) {
    p.setPen(QPen(color, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(inset, inset), QPointF(32 - inset, 32 - inset));
    p.drawLine(QPointF(32 - inset, inset), QPointF(inset, 32 - inset));
}

void tableGrid(QPainter& p, QRectF r, const QColor& header) {
    p.setPen(QPen(QColor(70, 80, 95), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setBrush(header);
    p.drawRect(QRectF(r.x(), r.y(), r.width(), r.height() / 4));
    p.setPen(QPen(QColor(120, 130, 145), 1));
    for (int i = 2; i < 4; ++i)
        p.drawLine(QPointF(r.x(), r.y() + r.height() * i / 4),
                   QPointF(r.right(), r.y() + r.height() * i / 4));
    for (int i = 1; i < 3; ++i)
        p.drawLine(QPointF(r.x() + r.width() * i / 3, r.y() + r.height() / 4),
                   QPointF(r.x() + r.width() * i / 3, r.bottom()));
}

void page(QPainter& p) {
    QPolygonF sheet({{7, 3}, {20, 3}, {26, 9}, {26, 29}, {7, 29}});
    p.setPen(QPen(QColor(90, 100, 115), 1.2));
    p.setBrush(Qt::white);
    p.drawPolygon(sheet);
    p.setBrush(QColor(215, 222, 232));
    p.drawPolygon(QPolygonF({{20, 3}, {20, 9}, {26, 9}}));
}

void plus(QPainter& p, QPointF c, qreal r, const QColor& color) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(c.x() - r / 2, c.y()), QPointF(c.x() + r / 2, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r / 2), QPointF(c.x(), c.y() + r / 2));
}

Drawing drawingFor(const std::string& name) {
    if (name == "DB_LOCAL") return [](QPainter& p) { cylinder(p, QColor(47, 111, 181)); };
    if (name == "DB_SERVER")
        return [](QPainter& p) {
            cylinder(p, QColor(46, 139, 87), 4, 2, 18, 22);
            p.setPen(QPen(QColor(40, 60, 50), 1.6));
            p.drawLine(QPointF(13, 24), QPointF(13, 29));
            p.drawLine(QPointF(4, 29), QPointF(28, 29));
            p.setBrush(QColor(46, 139, 87));
            p.drawEllipse(QPointF(26, 29), 2.2, 2.2);
        };
    if (name == "DB_MYSQL") return [](QPainter& p) { cylinder(p, QColor(217, 130, 43)); };
    if (name == "DB_ODBC")
        return [](QPainter& p) {
            cylinder(p, QColor(123, 79, 168), 4, 4, 18, 22);
            p.setPen(QPen(QColor(60, 40, 90), 1.6));
            p.setBrush(QColor(240, 236, 248));
            p.drawRoundedRect(QRectF(19, 17, 11, 12), 2, 2);
            p.drawLine(QPointF(22, 17), QPointF(22, 13));
            p.drawLine(QPointF(27, 17), QPointF(27, 13));
        };
    if (name == "DB_DB")
        return [](QPainter& p) { cylinder(p, QColor(30, 143, 143), 8, 5, 16, 22); };
    if (name == "DB_SOLUCION")
        return [](QPainter& p) {
            cylinder(p, QColor(110, 125, 145), 2, 10, 14, 18);
            cylinder(p, QColor(80, 100, 125), 16, 4, 14, 18);
        };
    if (name == "DB_LOST")
        return [](QPainter& p) {
            cylinder(p, QColor(150, 150, 150));
            p.setPen(QPen(QColor(200, 40, 40), 3.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 28), QPointF(28, 4));
        };
    if (name == "DB_TABLE")
        return [](QPainter& p) { tableGrid(p, QRectF(3, 5, 26, 22), QColor(74, 128, 196)); };
    if (name == "DB_FIELD")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(70, 80, 95), 1.2));
            p.setBrush(QColor(255, 255, 255));
            p.drawRect(QRectF(4, 10, 24, 12));
            p.setBrush(QColor(74, 128, 196));
            p.drawRect(QRectF(4, 10, 8, 12));
        };
    if (name == "DB_QUERYWND")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(60, 70, 85), 1.2));
            p.setBrush(QColor(60, 90, 140));
            p.drawRoundedRect(QRectF(2, 3, 28, 26), 2, 2);
            tableGrid(p, QRectF(4, 9, 24, 18), QColor(190, 205, 225));
        };
    if (name == "DB_INSERT")
        return [](QPainter& p) {
            page(p);
            p.setPen(QPen(QColor(120, 130, 145), 1.4));
            for (int i = 0; i < 3; ++i)
                p.drawLine(QPointF(10, 12 + i * 5), QPointF(22, 12 + i * 5));
            plus(p, QPointF(23, 24), 7, QColor(46, 139, 87));
        };
    if (name == "DB_EJECUTAR")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(30, 110, 50), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(QColor(56, 168, 82));
            p.drawPolygon(QPolygonF({{8, 4}, {28, 16}, {8, 28}}));
        };
    if (name == "NEW")
        return [](QPainter& p) {
            page(p);
            plus(p, QPointF(23, 23), 7, QColor(47, 111, 181));
        };
    if (name == "OPEN")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(160, 115, 30), 1.2));
            p.setBrush(QColor(236, 186, 80));
            p.drawPolygon(QPolygonF({{2, 7}, {12, 7}, {15, 10}, {28, 10}, {28, 27}, {2, 27}}));
            p.setBrush(QColor(250, 210, 110));
            p.drawPolygon(QPolygonF({{6, 14}, {31, 14}, {27, 27}, {2, 27}}));
        };
    if (name == "SAVE")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(35, 60, 100), 1.2));
            p.setBrush(QColor(55, 95, 160));
            p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
            p.setBrush(QColor(235, 240, 248));
            p.drawRect(QRectF(8, 3, 16, 10));
            p.setBrush(QColor(55, 95, 160));
            p.drawRect(QRectF(18, 5, 4, 6));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(7, 17, 18, 12));
        };
    if (name == "CANCEL")
        return [](QPainter& p) {
            roundSign(p, QColor(200, 55, 55), QString());
            cross(p, Qt::white, 10);
        };
    if (name == "STOP")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(140, 30, 30), 1.2));
            p.setBrush(QColor(210, 60, 60));
            p.drawRoundedRect(QRectF(5, 5, 22, 22), 3, 3);
        };
    if (name == "INFO") return [](QPainter& p) { roundSign(p, QColor(47, 111, 181), "i"); };
    if (name == "ASK") return [](QPainter& p) { roundSign(p, QColor(47, 111, 181), "?"); };
    if (name == "ERROR")
        return [](QPainter& p) {
            roundSign(p, QColor(200, 55, 55), QString());
            cross(p, Qt::white, 10);
        };
    if (name == "ALERT")
        return [](QPainter& p) {
            p.setPen(QPen(QColor(150, 110, 0), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(QColor(245, 195, 40));
            p.drawPolygon(QPolygonF({{16, 2}, {30, 28}, {2, 28}}));
            QFont f;
            f.setBold(true);
            f.setPixelSize(18);
            p.setFont(f);
            p.setPen(QColor(40, 30, 0));
            p.drawText(QRectF(2, 8, 28, 20), Qt::AlignCenter, "!");
        };
    return nullptr;
}

}  // namespace

QIcon IconPainter::paint(const std::string& name) {
    Drawing draw = drawingFor(name);
    if (!draw) return QIcon();
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        draw(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace VORLIN
