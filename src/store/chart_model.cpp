#include "store/chart_model.h"

namespace tavrine {

ChartModel::ChartModel()
    : lines_{{
          {"owarine", "終値", 0x004080, 2, false, true, true, true, {}},
          {"idouheikin5", "5日移動平均線", 0x008000, 1, false, false, true, true, {}},
          {"idouheikinn25", "25日移動平均線", 0xFF0000, 2, false, true, true, true, {}},
          {"idouheikinn75", "75日移動平均線", 0x0000FF, 2, false, true, true, true, {}},
          {"idouheikinn200", "200日移動平均線", 0xFF00FF, 2, false, true, true, true, {}},
          {"idouheikinn1000", "1000日移動平均線", 0x400000, 2, false, true, true, true, {}},
          {"S1", "S1/O", 0x008000, 2, false, true, true, true, {}},
          {"S2", "S2", 0xFF0000, 2, false, true, true, true, {}},
          {"S3", "S3", 0x0000FF, 2, false, true, true, true, {}},
          {"S4", "S4", 0xFF00FF, 2, false, true, true, true, {}},
          {"S5", "S5/S1", 0x9D7471, 2, false, true, true, true, {}},
          {"jiku", "0軸", 0x000000, 2, true, true, true, true, {}},
          {"Series1", "下線", 0x800040, 2, true, true, true, false, {}},
          {"buys", "仕掛け", 0xE8380D, 1, false, true, true, true, {}, PointStyle::UpTriangles},
          {"sells",
           "手仕舞い",
           0x0095D9,
           1,
           false,
           true,
           true,
           true,
           {},
           PointStyle::DownTriangles},
      }} {}

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
