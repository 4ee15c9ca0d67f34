#include "store/chart_model.h"

namespace tavrine {

namespace {

// A line of the chart: drawn with point markers, shown and in the legend.
ChartLine Line(const char* name, const char* legend, std::uint32_t color, int penWidth = 2) {
  return {name, legend, color, penWidth, false, true, true, true, {}};
}

// The zero axis and the lower line: plain polylines.
ChartLine Fast(ChartLine l) {
  l.fast = true;
  return l;
}

ChartLine Markers(const char* name, const char* legend, std::uint32_t color, PointStyle style) {
  ChartLine l = Line(name, legend, color, 1);
  l.style = style;
  return l;
}

}  // namespace

ChartModel::ChartModel()
    : lines_{{
          Line("owarine", "終値", 0x004080),
          Line("idouheikin5", "5日移動平均線", 0x008000, 1),
          Line("idouheikinn25", "25日移動平均線", 0xFF0000),
          Line("idouheikinn75", "75日移動平均線", 0x0000FF),
          Line("idouheikinn200", "200日移動平均線", 0xFF00FF),
          Line("idouheikinn1000", "1000日移動平均線", 0x400000),
          Line("S1", "S1/O", 0x008000),
          Line("S2", "S2", 0xFF0000),
          Line("S3", "S3", 0x0000FF),
          Line("S4", "S4", 0xFF00FF),
          Line("S5", "S5/S1", 0x9D7471),
          Fast(Line("jiku", "0軸", 0x000000)),
          Fast(Line("Series1", "下線", 0x800040)),
          Markers("buys", "仕掛け", 0xE8380D, PointStyle::UpTriangles),
          Markers("sells", "手仕舞い", 0x0095D9, PointStyle::DownTriangles),
      }} {
  // The 5-day average is filled but drawn by no chart; the lower line keeps
  // out of the legend.
  lines_[idouheikin5].active = false;
  lines_[Series1].inLegend = false;
}

int ChartModel::find(const std::string& name) const {
  for (int i = 0; i < kAllLines; ++i)
    if (lines_[static_cast<std::size_t>(i)].name == name) return i;
  return -1;
}

void ChartModel::clear(int pos) {
  line(pos).points.clear();
  ++version_;
}

void ChartModel::add(int pos, double x, double y, const std::string& label) {
  auto& l = line(pos);
  l.points.push_back({x, y, label, l.color});
  ++version_;
}

void ChartModel::clearAll() {
  for (auto& l : lines_) l.points.clear();
  shown_ = {};
  ++version_;
}

void ChartModel::setMarkersVisible(bool visible) {
  if (markersVisible() == visible) return;
  lines_[buys].visible = visible;
  lines_[sells].visible = visible;
  ++version_;
}

}  // namespace tavrine
