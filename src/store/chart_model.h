// The chart as data: thirteen lines in their fixed order, each a list of
// points. The window draws it; the engine never draws.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrine {

struct ChartPoint {
  double x;           // SeriesTable (or CalcTable) row number
  double y;           // the cell's value
  std::string label;  // the row's date text
  std::uint32_t color;
};

struct ChartLine {
  std::string name;    // owarine, idouheikin5, ...
  std::string legend;  // legend title
  std::uint32_t color; // 0xRRGGBB
  int penWidth;
  bool fast;    // drawn without point markers as a plain polyline
  bool active;  // an inactive line is filled but never drawn
  bool visible;
  bool inLegend;
  std::vector<ChartPoint> points;
};

class ChartModel {
 public:
  static constexpr int kLines = 13;
  enum Pos {
    owarine = 0, idouheikin5, idouheikinn25, idouheikinn75, idouheikinn200, idouheikinn1000,
    S1, S2, S3, S4, S5, jiku, Series1
  };

  ChartModel();

  ChartLine& line(int pos) { return lines_[static_cast<std::size_t>(pos)]; }
  const ChartLine& line(int pos) const { return lines_[static_cast<std::size_t>(pos)]; }
  // Position of a line by name, -1 when there is none.
  int find(const std::string& name) const;

  void clear(int pos);
  void add(int pos, double x, double y, const std::string& label);
  void clearAll();

  // Incremented on every change; the window redraws the lines when it moves.
  std::uint64_t version() const { return version_; }

 private:
  std::array<ChartLine, kLines> lines_;
  std::uint64_t version_ = 0;
};

}  // namespace tavrine
