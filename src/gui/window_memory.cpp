#include "gui/window_memory.h"

#include <QSettings>
#include <QStringList>
#include <algorithm>

namespace tavrine::gui {

namespace {

constexpr const char* kGeometry = "window/geometry";
constexpr const char* kMaximized = "window/maximized";
constexpr const char* kSplitter = "window/splitter";
constexpr const char* kColumns = "columns";
constexpr const char* kCandles = "chart/candles";
constexpr const char* kWhiteBlack = "chart/whiteBlack";
constexpr const char* kOverlay = "chart/overlay";
constexpr const char* kBars = "chart/bars";  // 0 日足, 1 週足, 2 月足
constexpr const char* kPortfolio = "portfolio";

}  // namespace

WindowMemory WindowMemory::load() {
  WindowMemory m;
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  m.geometry = s.value(kGeometry).toRect();
  m.maximized = s.value(kMaximized, false).toBool();
  m.chart.candles = s.value(kCandles, true).toBool();
  m.chart.whiteBlack = s.value(kWhiteBlack, false).toBool();
  m.chart.overlay = s.value(kOverlay, false).toBool();
  m.chart.bars = static_cast<BarKind>(std::clamp(s.value(kBars, 0).toInt(), 0, 2));
  for (const QString& v : s.value(kSplitter).toStringList()) {
    bool ok = false;
    const int size = v.toInt(&ok);
    if (!ok || size <= 0) {
      m.splitter.clear();
      break;
    }
    m.splitter << size;
  }
  s.beginGroup(QString::fromLatin1(kColumns));
  for (const QString& grid : s.childKeys()) {
    // "column:width" items.
    for (const QString& item : s.value(grid).toStringList()) {
      const QStringList cw = item.split(QLatin1Char(':'));
      bool okC = false, okW = false;
      if (cw.size() != 2) continue;
      const int c = cw[0].toInt(&okC), w = cw[1].toInt(&okW);
      if (okC && okW && c >= 0 && w > 0) m.columns[grid][c] = w;
    }
  }
  return m;
}

void WindowMemory::save() const {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.setValue(kGeometry, geometry);
  s.setValue(kMaximized, maximized);
  s.setValue(kCandles, chart.candles);
  s.setValue(kWhiteBlack, chart.whiteBlack);
  s.setValue(kOverlay, chart.overlay);
  s.setValue(kBars, static_cast<int>(chart.bars));
  QStringList sizes;
  for (int v : splitter) sizes << QString::number(v);
  s.setValue(kSplitter, sizes);
  s.remove(QString::fromLatin1(kColumns));
  for (const auto& [grid, widths] : columns) {
    QStringList items;
    for (const auto& [c, w] : widths) items << QStringLiteral("%1:%2").arg(c).arg(w);
    if (!items.isEmpty())
      s.setValue(QString::fromLatin1(kColumns) + QLatin1Char('/') + grid, items);
  }
}

QRect FitToScreens(const QRect& saved, const QList<QRect>& screens) {
  if (!saved.isValid()) return {};
  const QRect* best = nullptr;
  long long most = 0;
  for (const QRect& screen : screens) {
    const QRect common = saved.intersected(screen);
    const long long area = common.isValid() ? 1LL * common.width() * common.height() : 0;
    if (area > most) {
      most = area;
      best = &screen;
    }
  }
  if (!best) return {};
  QRect r(saved.topLeft(),
          QSize(std::min(saved.width(), best->width()), std::min(saved.height(), best->height())));
  r.moveLeft(std::clamp(r.left(), best->left(), best->right() - r.width() + 1));
  r.moveTop(std::clamp(r.top(), best->top(), best->bottom() - r.height() + 1));
  return r;
}

}  // namespace tavrine::gui

namespace tavrine::gui {

QList<int> FitSplitter(const QList<int>& saved, int room, const QList<int>& minimums) {
  if (saved.size() != minimums.size() || saved.isEmpty() || room <= 0) return {};
  long long minTotal = 0;
  for (int m : minimums) minTotal += m;
  if (minTotal > room) return {};
  QList<long long> sizes;
  long long total = 0;
  for (int i = 0; i < saved.size(); ++i) {
    const long long v = std::clamp<long long>(saved[i], minimums[i], room);
    sizes << v;
    total += v;
  }
  // Scale what lies above the minimums so the whole fits the room.
  if (total > room) {
    const long long spare = total - minTotal, have = room - minTotal;
    for (int i = 0; i < sizes.size(); ++i)
      sizes[i] = minimums[i] + (sizes[i] - minimums[i]) * have / std::max(spare, 1LL);
  }
  QList<int> out;
  for (long long v : sizes) out << static_cast<int>(v);
  return out;
}

bool SplitterWorthKeeping(const QList<int>& sizes, const QList<int>& minimums) {
  if (sizes.size() != minimums.size()) return false;
  for (int i = 0; i < sizes.size(); ++i)
    if (sizes[i] < minimums[i] || sizes[i] <= 0) return false;
  return true;
}

PortfolioMemory PortfolioMemory::load() {
  PortfolioMemory m;
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.beginGroup(QString::fromLatin1(kPortfolio));
  const auto text = [&s](const char* key, QString& v) { v = s.value(key, v).toString(); };
  text("capital", m.capital);
  text("slots", m.positions);
  text("commission", m.commission);
  text("slip", m.slip);
  text("tax", m.tax);
  text("borrow", m.borrow);
  m.fillClose = s.value("fillClose", m.fillClose).toBool();
  m.priorityCode = s.value("priorityCode", m.priorityCode).toBool();
  return m;
}

void PortfolioMemory::save() const {
  QSettings s(QStringLiteral("tavrine"), QStringLiteral("tavrine"));
  s.beginGroup(QString::fromLatin1(kPortfolio));
  s.setValue("capital", capital);
  s.setValue("slots", positions);
  s.setValue("commission", commission);
  s.setValue("slip", slip);
  s.setValue("tax", tax);
  s.setValue("borrow", borrow);
  s.setValue("fillClose", fillClose);
  s.setValue("priorityCode", priorityCode);
}

}  // namespace tavrine::gui
