// What the chart widget's files share: the colour of a model line and the
// few sizes more than one of them lays out by.
#pragma once

#include <QColor>
#include <cstdint>

namespace tavrine::gui::chart_parts {

inline QColor Rgb(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// A legend or readout row's colour swatch, in pixels.
constexpr int kLegendSwatch = 10;
// Right margin for the panes' axis labels.
constexpr int kAxisRoom = 64;

}  // namespace tavrine::gui::chart_parts
