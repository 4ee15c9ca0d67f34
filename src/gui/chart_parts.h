// What the chart widget's files share: the colour of a model line and the
// few sizes more than one of them lays out by.
#pragma once

#include <QColor>
#include <QPointF>
#include <QPolygonF>
#include <cstdint>

namespace tavrine::gui::chart_parts {

inline QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// A legend or readout row's colour swatch, in pixels.
constexpr int kLegendSwatch = 10;
// Right margin for the panes' axis labels.
constexpr int kAxisRoom = 64;

// Trade markers: a triangle beside the close it marks, pointing at it, a
// buy below the close and a sell above, so both show on a day with both.
constexpr int kMarkerWidth = 13;
constexpr int kMarkerHeight = 11;
constexpr int kMarkerGap = 3;  // between the close and the triangle's tip

inline QPolygonF MarkerTriangle(const QPointF& at, bool buy) {
  const double half = kMarkerWidth / 2.0, dir = buy ? 1 : -1;
  const double tip = at.y() + dir * kMarkerGap, base = tip + dir * kMarkerHeight;
  return QPolygonF(
      {QPointF(at.x(), tip), QPointF(at.x() + half, base), QPointF(at.x() - half, base)});
}

}  // namespace tavrine::gui::chart_parts
