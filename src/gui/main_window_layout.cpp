// The main window's areas and hand-placed controls: their building, their
// places as the window is resized, and the layout kept between runs.
#include "gui/main_window_layout.h"
#include "gui/main_window.h"
#include "gui/main_window_tooltips.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdlib>
#include <functional>
#include <memory>

#include "gui/chart_bars.h"
#include "gui/chart_widget.h"
#include "gui/grid_model.h"
#include "gui/import_ui.h"
#include "gui/stock_finder.h"
#include "gui/style.h"
#include "gui/widgets.h"
#include "signals/rules.h"
#include "store/control_cells.h"

namespace tavrine::gui {

using namespace layout;

namespace {

// A button with its caption as the Form holds it; a window-only button
// gets its caption where it is wired.
QPushButton* FormButton(const Form& form, const char* name, QWidget* parent) {
  return new QPushButton(form.has(name) ? Caption(form.text(name)) : QString(), parent);
}

// A hand-placed control, its caption taken from the Form.
QWidget* MakePlaced(const Form& form, const Placed& p, QWidget* parent) {
  QWidget* w = nullptr;
  switch (p.make) {
    case Make::Label:
    case Make::Link: {
      auto* l = new ClickLabel(ToQt(form.text(p.name)), parent);
      l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
      if (p.make == Make::Link) {
        l->setCursor(Qt::PointingHandCursor);
        l->setStyleSheet(QStringLiteral("color: #003070; text-decoration: underline;"));
      }
      w = l;
      break;
    }
    case Make::Edit:
    case Make::NumberBox: {
      auto* e = new TextBox(parent);
      if (p.make == Make::NumberBox) e->setAlignment(Qt::AlignRight);
      w = e;
      break;
    }
    case Make::Button:
      w = FormButton(form, p.name, parent);
      break;
  }
  w->setGeometry(p.at);
  return w;
}

// Widens each button and link of a panel to the next control to its right
// in the same row when no more than a narrow gap lies between them, so
// every point between two of them belongs to one.
void CloseGaps(QWidget* panel) {
  constexpr int kWidestGap = 3;
  const QList<QWidget*> children = panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* b : children) {
    if (!qobject_cast<QAbstractButton*>(b) && !qobject_cast<ClickLabel*>(b)) continue;
    const QRect at = b->geometry();
    int next = -1;
    for (QWidget* o : children) {
      if (o == b || o->isWindow() || o->geometry().top() != at.top()) continue;
      const int gap = o->geometry().left() - at.right() - 1;
      if (gap > 0 && gap <= kWidestGap && (next < 0 || o->geometry().left() < next))
        next = o->geometry().left();
    }
    if (next > 0) b->setGeometry(at.left(), at.top(), next - at.left(), at.height());
  }
}

// The width a grid needs to show one whole column of this designed width.
int ColumnRoom(const GridView* g, int columnWidth) {
  return Scaled(columnWidth) + 2 * g->frameWidth() + g->verticalScrollBar()->sizeHint().width();
}

// A box layout without margins or spacing unless asked.
template <class Layout>
Layout* Tight(QWidget* owner, int margin = 0, int spacing = 0) {
  auto* l = new Layout(owner);
  l->setContentsMargins(margin, margin, margin, margin);
  l->setSpacing(spacing);
  return l;
}

// A plain widget that lays out its children by hand when resized.
class Area : public QWidget {
 public:
  using QWidget::QWidget;
  std::function<void()> onResize;

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    if (onResize) onResize();
  }
};

}  // namespace

GridView* MainWindow::makeGrid(const std::string& component, int columnWidth, bool editable,
                               QWidget* parent) {
  auto* view = new GridView(parent);
  // Each grid shows the work table of its component's name.
  WorkTable& table = *ws_.table(component);
  auto* m = new GridModel(table, editable, view);
  m->locked = [this] { return ws_.busy(); };
  view->setModel(m);
  // A slim strip over the columns: its borders are dragged to widen a
  // column, and a double click on one fits the column to its texts.
  QHeaderView* header = view->horizontalHeader();
  header->setFixedHeight(kGridResizeStrip);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setToolTip(
      QStringLiteral("列の境目をドラッグで幅を変えます。ダブルクリックで内容に合わせます"));
  view->verticalHeader()->hide();
  view->horizontalHeader()->setDefaultSectionSize(Scaled(columnWidth));
  view->horizontalHeader()->setMinimumSectionSize(kGridMinColumnWidth);
  view->verticalHeader()->setDefaultSectionSize(Scaled(kGridRowHeight));
  view->verticalHeader()->setMinimumSectionSize(kGridMinRowHeight);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->setWordWrap(false);
  view->setEditTriggers(editable
                            ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed
                            : QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setFont(PixelFont(12));
  view->setGridStyle(Qt::SolidLine);
  bind(component, view);
  models_[table.name()] = m;
  grids_[component] = view;
  return view;
}

void MainWindow::build() {
  setWindowTitle(QStringLiteral("tavrine"));
  // The size the Form was designed with, until the start-up asks for another.
  const Control& form = ws_.form.get("TForm1");
  designSize_ = QSize(form.width, form.height);
  resize(designSize_);
  setFont(PixelFont(12));

  auto* root = Tight<QVBoxLayout>(this);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setHandleWidth(kSplitterHandle);
  splitter_->setChildrenCollapsible(false);
  root->addWidget(splitter_);
  // Successes that ask nothing are said here rather than in a box.
  successBar_ = new QStatusBar(this);
  successBar_->setObjectName(QStringLiteral("SuccessBar"));
  successBar_->setSizeGripEnabled(false);
  successBar_->setFixedHeight(kSuccessBarHeight);
  root->addWidget(successBar_);

  // Chart area with the panels that lie over it.
  auto* area = new Area(splitter_);
  chartArea_ = area;
  area->setMinimumHeight(kChartMinHeight);
  buildChartArea(area);
  area->onResize = [this] { placeOverlays(); };
  splitter_->addWidget(area);

  // Statistics grid between the splitters, with a slim strip at its right
  // for saving the list and the chart. The strip's buttons are placed by
  // hand so they never hold the area taller than the grid needs; they are
  // the window's own, not controls of the Form.
  auto* statsArea = new QWidget(splitter_);
  statsArea->setMinimumHeight(kStatsMinHeight);
  auto* sh = Tight<QHBoxLayout>(statsArea);
  GridView* stats = makeGrid("StringGrid4", kStatsColumnWidth, false, statsArea);
  sh->addWidget(stats, 1);
  auto* strip = new Area(statsArea);
  bind("StatsStrip", strip);
  Fill(strip, kControlFace);
  buildSaveButtons(strip);
  sh->addWidget(strip);
  splitter_->addWidget(statsArea);
  strip->onResize = [this] { placeSaveStrip(); };
  placeSaveStrip();

  // Bottom panel: series grid, stock list, control panel.
  auto* panel2 = new QWidget(splitter_);
  bind("Panel2", panel2);
  panel2->setMinimumHeight(kBottomMinHeight);
  auto* h = Tight<QHBoxLayout>(panel2);
  GridView* series = makeGrid("StringGrid2", kSeriesColumnWidth, false, panel2);
  // Narrower only when the window is too narrow for it and the control panel.
  series->setPreferredWidth(kSeriesGridWidth);
  series->setMinimumWidth(kSeriesGridMinWidth);
  series->setMaximumWidth(kSeriesGridWidth);
  GridView* list = makeGrid("StringGrid1", kListColumnWidth, true, panel2);
  list->setMinimumWidth(kListMinWidth);
  auto* panel1 = new QWidget(panel2);
  bind("Panel1", panel1);
  panel1->setFixedWidth(kControlPanelWidth);
  Fill(panel1, kControlFace);
  buildControlPanel(panel1);
  h->addWidget(series);
  h->addWidget(list, 1);
  h->addWidget(panel1);
  splitter_->addWidget(panel2);

  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setStretchFactor(2, 0);
  bind("Splitter2", splitter_->handle(1));
  bind("Splitter1", splitter_->handle(2));

  // Grids over the chart belong to the chart area; made here so that all
  // grids come from one place.
  GridView* picker = makeGrid("StringGrid5", kPickerColumnWidth, false, widget("Panel4"));
  picker->horizontalHeader()->resizeSection(0, kPickerFirstColumnWidth);
  picker->setFont(PixelFont(13));
  picker->verticalHeader()->setDefaultSectionSize(kPickerRowHeight);
  static_cast<QVBoxLayout*>(widget("Panel4")->layout())->addWidget(picker, 1);
  wirePickerMenu(picker);
  GridView* cand = makeGrid("StringGrid7", kCandidateColumnWidth, false, area);
  cand->hide();
  widget("Panel14")->raise();
  placeOverlays();
  applyToolTips();

  // The column widths the user gave the grids last time.
  if (remember_) memory_ = WindowMemory::load();
  if (chart_) chart_->setStyle(memory_.chart);
  for (const auto& [name, widths] : memory_.columns) {
    GridView* g = grid(name.toStdString());
    if (!g) continue;
    for (const auto& [c, width] : widths)
      if (c < g->model()->columnCount()) g->horizontalHeader()->resizeSection(c, width);
  }
}

void MainWindow::buildChartArea(QWidget* area) {
  chart_ = new ChartWidget(ws_.chart, area);
  bind("chart1", chart_);
  // The candles and volume of the charted stock, read from the price store.
  auto bars = std::make_shared<ChartBarsSource>(ws_);
  chart_->extrasSource = [bars] { return (*bars)(); };

  auto* edit5 = new TextBox(area);
  bind("Edit5", edit5);
  edit5->setFont(PixelFont(14, true));
  edit5->setAlignment(Qt::AlignCenter);
  edit5->setReadOnly(true);

  // Memo panel.
  auto* panel7 = new QWidget(area);
  bind("Panel7", panel7);
  Fill(panel7, kMemoFace);
  auto* v7 = Tight<QVBoxLayout>(panel7, kMemoMargin, kMemoMargin);
  auto* memo = new QPlainTextEdit(panel7);
  bind("Memo3", memo);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #F2F2F2; }"));
  memo->setFont(PixelFont(12));
  v7->addWidget(memo, 1);
  QPushButton* save = FormButton(ws_.form, "Button18", panel7);
  bind("Button18", save);
  save->setFixedSize(kMemoSaveButton);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(kMemoSaveIndent, 0, 0, 0);
  row->addWidget(save);
  row->addStretch(1);
  v7->addLayout(row);

  // What a first start without data shows over the empty chart.
  auto* guide = new FirstStartPanel(area, [this] { chooseImport(); });
  bind("ImportGuide", guide);
  guide->hide();

  // Stock picker panel over the whole chart.
  auto* panel4 = new Area(area);
  bind("Panel4", panel4);
  Fill(panel4, kPickerFace);
  auto* v4 = Tight<QVBoxLayout>(panel4);
  auto* panel5 = new QWidget(panel4);
  bind("Panel5", panel5);
  Fill(panel5, kHeadingFace);
  panel5->setFixedHeight(kPickerHeadingHeight);
  auto* h5 = Tight<QHBoxLayout>(panel5, kPickerHeadingMargin, kPickerHeadingSpacing);
  auto* edit4 = new TextBox(panel5);
  bind("Edit4", edit4);
  edit4->setReadOnly(true);
  edit4->setFont(PixelFont(15, true));
  edit4->setFixedWidth(kPickerTitleWidth);
  auto* edit7 = new TextBox(panel5);
  bind("Edit7", edit7);
  edit7->setReadOnly(true);
  edit7->setFont(PixelFont(13));
  edit7->setFixedWidth(kPickerVersionWidth);
  h5->addWidget(edit4);
  h5->addWidget(edit7);
  h5->addStretch(1);
  v4->addWidget(panel5);

  // Collection panel inside the picker panel.
  auto* panel14 = new QFrame(panel4);
  bind("Panel14", panel14);
  panel14->setFrameShape(QFrame::Panel);
  panel14->setFrameShadow(QFrame::Raised);
  panel14->setLineWidth(2);
  Fill(panel14, kCollectionFace);
  panel14->resize(kCollectionPanel);
  for (const Placed& p : kCollectionControls) bind(p.name, MakePlaced(ws_.form, p, panel14));
  CloseGaps(panel14);
  auto* l21 = static_cast<QLabel*>(widget("Label21"));
  l21->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l21->setWordWrap(true);
  widget("Edit18")->setFont(PixelFont(14));
  widget("Button104")->hide();
  auto* status = new QStatusBar(panel14);
  bind("StatusBar1", status);
  status->setSizeGripEnabled(false);
  status->setGeometry(2, kCollectionPanel.height() - kStatusBarHeight - 2,
                      kCollectionPanel.width() - 4, kStatusBarHeight);
  status->setStyleSheet(QStringLiteral("QStatusBar { border-top: 1px solid #A0A0A0; }"));
  panel4->onResize = [panel4, panel14] {
    panel14->move(std::max(0, panel4->width() - panel14->width() - kCollectionRight),
                  kCollectionTop);
  };
  panel14->hide();
  panel4->hide();
}

void MainWindow::buildControlPanel(QWidget* panel) {
  for (const Placed& p : kControlPanel) bind(p.name, MakePlaced(ws_.form, p, panel));

  auto* p11 = new QFrame(panel);
  bind("Panel11", p11);
  p11->setFrameShape(QFrame::Panel);
  p11->setFrameShadow(QFrame::Raised);
  Fill(p11, kRulePanelFace);
  p11->setGeometry(kRulePanel);
  for (const Placed& p : kRulePanelControls) bind(p.name, MakePlaced(ws_.form, p, p11));
  // Window-only buttons (main_window_tools.cpp, main_window_judging.cpp).
  buildScanButton(p11);
  buildJudgingControls(p11);
  CloseGaps(panel);
  CloseGaps(p11);
  p11->hide();

  // Window-only: the stock list's own changes (main_window_list.cpp).
  wireListButtons();

  // Proposals under the code box as the user types a code or a name.
  auto* edit1 = static_cast<TextBox*>(widget("Edit1"));
  edit1->setToolTip(
      QStringLiteral("銘柄コードを入れてEnter。コードの頭や銘柄名の一部で候補が出ます (Ctrl+F)"));
  finder_ = new StockFinder(edit1, [this]() -> const WorkTable& { return ws_.StockList; });
  finder_->onChosen = [this](const std::string& code) { selectCode(code); };
}

void MainWindow::placeRulePanel() {
  // In a window wide enough the room is kept whether the panel is shown or
  // not: the controls stay where they are when "利率条件/利用" opens or
  // closes it. A narrower window makes the room only while it is shown.
  QWidget* panel = widget("Panel1");
  const bool keepRoom = width() >= kRoomKeptFromWidth;
  const int want =
      kControlPanelWidth + (keepRoom || !widget("Panel11")->isHidden() ? kRulePanelRoom : 0);
  if (panel->width() != want) panel->setFixedWidth(want);
  // The value grid gives up width first, so the list keeps a whole date
  // column as long as the window's width allows; neither sets a minimum
  // that would keep the window from getting narrower.
  GridView* series = grid("StringGrid2");
  const int listRoom = ColumnRoom(grid("StringGrid1"), kListColumnWidth);
  const int seriesMax =
      std::clamp(width() - want - listRoom, kSeriesGridMinWidth, kSeriesGridWidth);
  if (series->maximumWidth() != seriesMax) series->setMaximumWidth(seriesMax);
}

void MainWindow::applyToolTips() {
  for (const ToolTip& t : kToolTips)
    if (QWidget* w = widget(t.name)) w->setToolTip(QString::fromUtf8(t.text));
  // The buttons whose state the engine keeps show it pressed.
  std::vector<const char*> stateful = {"Button2", "DrawChart", "Button4", "Button81"};
  for (const RuleDef& r : kRules) stateful.push_back(r.button);
  for (const char* name : stateful)
    if (auto* b = qobject_cast<QAbstractButton*>(widget(name))) b->setCheckable(true);
}

void MainWindow::mirrorPressed() {
  const WorkTable& st = ws_.SeriesTable;
  // The cells hold numbers as their handlers wrote them ("07" for rule 7);
  // anything else reads as none.
  auto number = [&st](const CellRef& cell) {
    const std::string& t = st.cell(cell);
    char* end = nullptr;
    const long v = std::strtol(t.c_str(), &end, 10);
    return t.empty() || *end != '\0' ? -1L : v;
  };
  auto press = [this](const char* name, bool on) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget(name)); b && b->isChecked() != on)
      b->setChecked(on);
  };
  // The term by the span the chart draws.
  const long span = number(ctl::ChartSpan);
  press("Button2", span == 4800);
  press("DrawChart", span == 800);
  press("Button4", span == 300);
  // The lower lines pressed while they show another view than S1..S5.
  press("Button81", number(ctl::OscillatorState) > 0);
  const long rule = number(ctl::RuleNumber);
  for (const RuleDef& r : kRules) press(r.button, rule == r.number);
}

void MainWindow::placeSaveStrip() {
  QWidget* strip = widget("StatsStrip");
  QWidget* buttons[] = {widget("StatsCsvButton"), widget("ChartImageButton"),
                        widget("BacktestButton"), widget("PortfolioButton")};
  const int n = static_cast<int>(std::size(buttons));
  const int perColumn = std::clamp((strip->height() - kSaveTop) / kSaveStep, 1, n);
  const int columns = (n + perColumn - 1) / perColumn;
  const int width = kSaveMargin + columns * (kSaveButton.width() + kSaveMargin);
  if (strip->width() != width) strip->setFixedWidth(width);
  for (int i = 0; i < n; ++i)
    buttons[i]->setGeometry(kSaveMargin + (i / perColumn) * (kSaveButton.width() + kSaveMargin),
                            kSaveTop + (i % perColumn) * kSaveStep, kSaveButton.width(),
                            kSaveButton.height());
}

void MainWindow::placeOverlays() {
  if (!chartArea_) return;
  const int w = chartArea_->width(), h = chartArea_->height();
  chart_->setGeometry(0, 0, w, h);
  if (QWidget* e5 = widget("Edit5")) {
    const int ew = std::min(kHeadingMaxWidth, std::max(kHeadingMinWidth, w - kHeadingSideRoom));
    e5->setGeometry((w - ew) / 2, kHeadingTop, ew, kHeadingHeight);
    e5->raise();
  }
  if (QWidget* p7 = widget("Panel7")) {
    // Below the chart's legend: a lower chart area makes the panel shorter
    // before it moves up.
    const int below = kChartHeight - kMemoPanel.bottom() - 1;
    int top = std::max(kMemoPanel.top(), h - (kChartHeight - kMemoPanel.top()));
    int height = std::min(kMemoPanel.height(), h - below - top);
    if (height < kMemoMinHeight) {
      height = std::min(kMemoMinHeight, h);
      top = std::max(0, h - below - height);
    }
    p7->setGeometry(kMemoPanel.left(), top, kMemoPanel.width(), height);
    p7->raise();
  }
  if (QWidget* cand = widget("StringGrid7")) {
    const int cw = std::min(kCandidateMaxWidth, w / 2), ch = std::min(kCandidateMaxHeight, h / 2);
    cand->setGeometry(w - cw - kOverlayMargin, h - ch - kOverlayMargin, cw, ch);
    cand->raise();
  }
  if (QWidget* guide = widget("ImportGuide")) {
    guide->move(std::max(0, (w - guide->width()) / 2), std::max(0, (h - guide->height()) / 2));
    guide->raise();
  }
  if (QWidget* p4 = widget("Panel4")) {
    p4->setGeometry(0, 0, w, h);
    p4->raise();
  }
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  placeRulePanel();
  // A window lower than designed is sized once it is shown.
  if (height() > kChartHeight + kBottomHeight || isVisible()) sizeSplitter();
}

namespace {

// The height a grid needs to show this many rows.
int HeightForRows(const GridView* g, int rows) {
  return rows * g->verticalHeader()->defaultSectionSize() + g->horizontalHeader()->height() +
         2 * g->frameWidth() + g->horizontalScrollBar()->sizeHint().height();
}

}  // namespace

QList<int> layout::SplitForHeight(int room, int statsWant, int bottomWant) {
  // The chart keeps at least its share; the grids get the rows they want
  // and grow with a taller window; what the chart's share leaves short is
  // taken from the statistics first, then from the bottom panel.
  const int keep = std::min(kChartKeptHeight, room - kBottomMinHeight - kStatsMinHeight);
  const int chartMin = std::max({kChartMinHeight, keep, room * kChartShare / 100});
  int bottom = std::max({kBottomMinHeight, bottomWant, room * kBottomShare / 100});
  int stats = std::max({kStatsMinHeight, statsWant, room * kStatsShare / 100});
  int excess = chartMin + bottom + stats - room;
  if (excess > 0) {
    const int fromStats = std::min(excess, stats - kStatsMinHeight);
    stats -= fromStats;
    excess -= fromStats;
    bottom -= std::min(excess, bottom - kBottomMinHeight);
  }
  return {std::max(kChartMinHeight, room - bottom - stats), stats, bottom};
}

void MainWindow::sizeSplitter() {
  if (!sized_) {
    sized_ = true;
    connect(splitter_, &QSplitter::splitterMoved, this, [this] { userSplit_ = true; });
    // The sizes the user left last time fitted to the window.
    const int room = splitter_->height() - 2 * splitter_->handleWidth();
    if (const QList<int> fit = FitSplitter(memory_.splitter, room, kPaneMinimums); !fit.isEmpty()) {
      userSplit_ = true;
      splitter_->setSizes(fit);
      return;
    }
  }
  if (userSplit_) return;
  const int room = splitter_->height() - 2 * splitter_->handleWidth();
  // What a pane holds besides its grid (the label over the statistics)
  // counts too.
  auto paneWant = [this](int pane, const char* name, int rows = kRowsWanted) {
    GridView* g = grid(name);
    int besides = 0;
    for (QWidget* w = g; w && w != splitter_->widget(pane); w = w->parentWidget()) {
      auto* column = qobject_cast<QVBoxLayout*>(w->parentWidget()->layout());
      if (!column) continue;
      for (int i = 0; i < column->count(); ++i)
        if (column->itemAt(i)->widget() != w)
          besides += column->itemAt(i)->sizeHint().height() + column->spacing();
    }
    return HeightForRows(g, rows) + besides;
  };
  const int bottomWant = std::max(paneWant(2, "StringGrid2"), paneWant(2, "StringGrid1"));
  const QList<int> sizes =
      SplitForHeight(room, paneWant(1, "StringGrid4", kTradeRowsWanted), bottomWant);
  if (splitter_->sizes() != sizes) splitter_->setSizes(sizes);
}

void MainWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  sizeSplitter();
  placeOverlays();
}

void MainWindow::rememberLayout() {
  if (!remember_) return;
  WindowMemory m;
  m.geometry = isMaximized() ? normalGeometry() : geometry();
  m.maximized = isMaximized();
  if (chart_) m.chart = chart_->style();
  // A layout with a pane squeezed away is not kept: the next start then
  // takes the designed sizes.
  // Sizes the window shared out itself are shared out again next time.
  if (userSplit_ && SplitterWorthKeeping(splitter_->sizes(), kPaneMinimums))
    m.splitter = splitter_->sizes();
  for (const auto& [name, g] : grids_) {
    const QHeaderView* h = g->horizontalHeader();
    std::map<int, int>& widths = m.columns[QString::fromStdString(name)];
    // Widths fitted to this run's texts are fitted again next time.
    for (int c = 0; c < h->count(); ++c)
      if (h->sectionSize(c) != h->defaultSectionSize() && g->userSized(c))
        widths[c] = h->sectionSize(c);
  }
  m.save();
}

void MainWindow::showAsAsked() {
  QList<QRect> screens;
  for (QScreen* s : QGuiApplication::screens()) screens << s->availableGeometry();
  // The remembered place counts for the first showing only.
  const QRect remembered = FitToScreens(memory_.geometry, screens);
  memory_.geometry = QRect();
  if (!remembered.isNull() && !memory_.maximized) {
    setGeometry(remembered);
    show();
    return;
  }
  const int w = askedWidth_ > 0 ? askedWidth_ : designSize_.width();
  const int h = askedHeight_ > 0 ? askedHeight_ : designSize_.height();
  QRect avail(0, 0, w, h);
  if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
    avail = s->availableGeometry();
  resize(w, h);
  move(avail.center() - QPoint(w / 2, h / 2));
  // A window last closed maximised opens maximised.
  const bool maximized = ws_.form.get("TForm1").maximized || !remembered.isNull();
  if (maximized) {
    // Without a window manager a maximise request alone changes nothing.
    setGeometry(avail);
    showMaximized();
  } else {
    show();
  }
}

}  // namespace tavrine::gui
