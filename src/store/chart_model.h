// The chart as data: thirteen lines in their fixed order, each a list of
// points, then the two trade-marker lines. The window draws it; the engine
// never draws.
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

// How the window draws a line's points: joined as a line, or each point on
// its own as a small triangle pointing up or down with no line between.
enum class PointStyle { Line, UpTriangles, DownTriangles };

struct ChartLine {
  std::string name;     // owarine, idouheikin5, ...
  std::string legend;   // legend title
  std::uint32_t color;  // 0xRRGGBB
  int penWidth;
  bool fast;    // drawn without point markers as a plain polyline
  bool active;  // an inactive line is filled but never drawn
  bool visible;
  bool inLegend;
  std::vector<ChartPoint> points;
  PointStyle style = PointStyle::Line;
};

// The rows the price lines span: which table their x values count rows of,
// and the first and last row. The trade markers are placed on these rows.
struct ShownRows {
  enum Table { None, Series, Calc };
  Table table = None;
  int first = 0;
  int last = 0;
};

class ChartModel {
 public:
  // The fixed lines, positions 0 .. kLines - 1.
  static constexpr int kLines = 13;
  // The trade markers after them: buys (entry days) and sells (exit days).
  // They take no part in picking a date on the chart.
  static constexpr int kMarkerLines = 2;
  static constexpr int kAllLines = kLines + kMarkerLines;
  enum Pos {
    owarine = 0,
    idouheikin5,
    idouheikinn25,
    idouheikinn75,
    idouheikinn200,
    idouheikinn1000,
    S1,
    S2,
    S3,
    S4,
    S5,
    jiku,
    Series1,
    buys,
    sells
  };

  ChartModel();

  ChartLine& line(int pos) { return lines_[static_cast<std::size_t>(pos)]; }
  const ChartLine& line(int pos) const { return lines_[static_cast<std::size_t>(pos)]; }
  // Position of a line by name (markers included), -1 when there is none.
  int find(const std::string& name) const;

  void clear(int pos);
  void add(int pos, double x, double y, const std::string& label);
  // Every line's points, the markers' too; the shown rows are forgotten.
  void clearAll();

  // Set wherever the price line is filled.
  const ShownRows& shownRows() const { return shown_; }
  void setShownRows(const ShownRows& rows) { shown_ = rows; }

  // The markers are shown or hidden together (the "売買" toggle); their
  // points stay either way. Shown at first.
  bool markersVisible() const { return lines_[buys].visible; }
  void setMarkersVisible(bool visible);

  // Incremented on every change; the window redraws the lines when it moves.
  std::uint64_t version() const { return version_; }

 private:
  std::array<ChartLine, kAllLines> lines_;
  ShownRows shown_;
  std::uint64_t version_ = 0;
};

}  // namespace tavrine
