#include "artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVector>

#include <array>

namespace artwork {

namespace {

enum Axis { X, Y, Z };
enum class Dir { Up, Down, Left, Right };

// One colour per axis wherever it is drawn, so that a panel is known by its
// colours even when the cube is too small to read the letters.
QColor axisColour(Axis axis)
{
    switch (axis) {
    case X:
        return QColor(0xd6, 0x28, 0x28);
    case Y:
        return QColor(0x23, 0x96, 0x35);
    case Z:
        return QColor(0x1d, 0x5f, 0xd1);
    }
    return Qt::black;
}

// Each panel's ground is tinted by its normal axis: pale where the axis comes
// out of the face, deeper where it goes in. No two panels share a ground.
QColor groundColour(Axis normal, bool out)
{
    switch (normal) {
    case X:
        return out ? QColor(0xfd, 0xe6, 0xe6) : QColor(0xf3, 0xc0, 0xb8);
    case Y:
        return out ? QColor(0xe6, 0xf7, 0xe2) : QColor(0xbf, 0xe6, 0xb8);
    case Z:
        return out ? QColor(0xe4, 0xec, 0xfc) : QColor(0xbd, 0xcf, 0xf2);
    }
    return Qt::white;
}

struct Arrow
{
    Axis axis;
    Dir dir;
};

struct Panel
{
    int column; // 0..2, left to right in the picture
    int row; // 0 top, 1 bottom in the picture
    Axis normal;
    bool out;
    std::array<Arrow, 2> arrows;
};

// The faces as seen from outside: the module's Z is the scene's up, its Y
// points at the viewer of the front face and its X to the left.
const std::array<Panel, 6> panels = { {
    { 0, 1, Y, true, { { { Z, Dir::Up }, { X, Dir::Left } } } }, // z = +1
    { 0, 0, X, false, { { { Z, Dir::Up }, { Y, Dir::Left } } } }, // x = +1
    { 2, 0, Y, false, { { { Z, Dir::Up }, { X, Dir::Right } } } }, // z = -1
    { 2, 1, X, true, { { { Z, Dir::Up }, { Y, Dir::Right } } } }, // x = -1
    { 1, 1, Z, false, { { { Y, Dir::Up }, { X, Dir::Left } } } }, // y = -1
    { 1, 0, Z, true, { { { X, Dir::Left }, { Y, Dir::Down } } } }, // y = +1
} };

QPointF direction(Dir dir)
{
    switch (dir) {
    case Dir::Up:
        return { 0, -1 };
    case Dir::Down:
        return { 0, 1 };
    case Dir::Left:
        return { -1, 0 };
    case Dir::Right:
        return { 1, 0 };
    }
    return {};
}

// Letters are drawn as strokes rather than with a font, so the picture does
// not depend on the fonts of the machine that draws it.
void drawLetter(QPainter &p, Axis axis, QPointF centre, qreal height)
{
    const qreal h = height / 2;
    const qreal w = height * 0.36;
    const QPointF tl = centre + QPointF(-w, -h);
    const QPointF tr = centre + QPointF(w, -h);
    const QPointF bl = centre + QPointF(-w, h);
    const QPointF br = centre + QPointF(w, h);
    QPainterPath path;
    switch (axis) {
    case X:
        path.moveTo(tl);
        path.lineTo(br);
        path.moveTo(tr);
        path.lineTo(bl);
        break;
    case Y:
        path.moveTo(tl);
        path.lineTo(centre);
        path.lineTo(tr);
        path.moveTo(centre);
        path.lineTo(centre + QPointF(0, h));
        break;
    case Z:
        path.moveTo(tl);
        path.lineTo(tr);
        path.lineTo(bl);
        path.lineTo(br);
        break;
    }
    p.drawPath(path);
}

QPen strokePen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Draws one panel, its marks in the largest square centred in the cell.
void drawPanel(QPainter &p, const Panel &panel, const QRectF &cell)
{
    const qreal side = qMin(cell.width(), cell.height());
    const QPointF origin = cell.center() - QPointF(side / 2, side / 2);
    const auto at = [&](qreal u, qreal v) { return origin + QPointF(u * side, v * side); };

    // A dark frame marks the cube's edges. Filled rather than stroked so
    // that its corners need no joins.
    const qreal frame = 0.028 * side;
    p.fillRect(cell, QColor(0x30, 0x30, 0x30));
    p.fillRect(cell.adjusted(frame, frame, -frame, -frame), groundColour(panel.normal, panel.out));

    const QPointF centre = at(0.5, 0.5);
    const qreal stroke = 0.048 * side;
    const qreal letterHeight = 0.15 * side;

    QPointF away;
    for (int a = 0; a < 2; ++a) {
        const Arrow &arrow = panel.arrows[a];
        const QColor colour = axisColour(arrow.axis);
        const QPointF d = direction(arrow.dir);
        const QPointF across(-d.y(), d.x());
        const QPointF start = centre + d * (0.17 * side);
        const QPointF tip = centre + d * (0.42 * side);
        const QPointF base = centre + d * (0.31 * side);
        p.setPen(strokePen(colour, stroke));
        p.drawLine(start, base);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(
            QPolygonF({ tip, base + across * (0.065 * side), base - across * (0.065 * side) }));

        // The label sits beside the shaft, on the side turned away from the
        // other arrow; the centre symbol's label takes the free diagonal.
        const QPointF beside = -direction(panel.arrows[1 - a].dir);
        const bool vertical = arrow.dir == Dir::Up || arrow.dir == Dir::Down;
        p.setPen(strokePen(colour, stroke * 0.85));
        p.setBrush(Qt::NoBrush);
        drawLetter(p, arrow.axis,
            centre + d * (0.30 * side) + beside * ((vertical ? 0.15 : 0.19) * side), letterHeight);
        away -= d;
    }

    // The normal axis: a circled dot where it points out of the face, a
    // circled cross where it points in.
    const QColor colour = axisColour(panel.normal);
    const qreal radius = 0.12 * side;
    p.setPen(strokePen(colour, stroke));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
    if (panel.out) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(centre, radius * 0.38, radius * 0.38);
    } else {
        const qreal k = radius * 0.52;
        p.drawLine(centre + QPointF(-k, -k), centre + QPointF(k, k));
        p.drawLine(centre + QPointF(k, -k), centre + QPointF(-k, k));
    }
    p.setPen(strokePen(colour, stroke * 0.85));
    p.setBrush(Qt::NoBrush);
    drawLetter(p, panel.normal, centre + away * (0.19 * side), letterHeight);
}

} // namespace

QImage cubeAtlas()
{
    constexpr int width = 1549;
    constexpr int height = 1032;
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::black);

    // Panel edges follow the texture coordinates of the mesh (0.33 and 0.66,
    // not thirds) so that no panel shows a sliver of its neighbour.
    const std::array<qreal, 4> columns = { 0, 0.33f * width, 0.66f * width, width };
    const std::array<qreal, 3> rows = { 0, height / 2.0, height };

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Panel &panel : panels) {
        const QRectF cell(QPointF(columns[panel.column], rows[panel.row]),
            QPointF(columns[panel.column + 1], rows[panel.row + 1]));
        p.save();
        p.setClipRect(cell);
        drawPanel(p, panel, cell);
        p.restore();
    }
    return image;
}

QImage launcherIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // An upright cube seen from above one corner, a face per axis colour.
    const QPointF top(32, 5), upperLeft(7, 18), upperRight(57, 18), middle(32, 31);
    const QPointF lowerLeft(7, 46), lowerRight(57, 46), bottom(32, 59);
    // At least one device pixel wide, or the smallest icon loses its edges.
    const qreal outline = qMax(1.0, size / 40.0) * 64.0 / size;
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(axisColour(Z));
    p.drawPolygon(QPolygonF({ top, upperRight, middle, upperLeft }));
    p.setBrush(axisColour(X));
    p.drawPolygon(QPolygonF({ upperLeft, middle, bottom, lowerLeft }));
    p.setBrush(axisColour(Y));
    p.drawPolygon(QPolygonF({ middle, upperRight, lowerRight, bottom }));

    if (size >= 32) {
        // The top face carries the module's Z as on the cube's panels, a
        // circled dot; too fine to read below 32 pixels.
        const QPointF centre(32, 18);
        p.setPen(QPen(Qt::white, 2.6));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, 9.0, 4.7);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(centre, 2.6, 1.4);
    }
    return image;
}

} // namespace artwork
