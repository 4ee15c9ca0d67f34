#include "gui/main_window.h"
#include "gui/file_dialogs.h"
#include "gui/main_window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <set>

#include "app/list_actions.h"
#include "gui/backtest_view.h"
#include "gui/chart_widget.h"
#include "gui/grid_model.h"
#include "gui/handover.h"
#include "gui/help_window.h"
#include "gui/import_ui.h"
#include "gui/judging_ui.h"
#include "gui/list_jobs.h"
#include "gui/scan_window.h"
#include "gui/splash_window.h"
#include "gui/stock_finder.h"
#include "gui/style.h"
#include "gui/update_ui.h"
#include "gui/widgets.h"
#include "signals/rules.h"
#include "store/control_cells.h"
#include "views/export.h"

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

// A box layout without margins or spacing unless asked.
template <class Layout>
Layout* Tight(QWidget* owner, int margin = 0, int spacing = 0) {
  auto* l = new Layout(owner);
  l->setContentsMargins(margin, margin, margin, margin);
  l->setSpacing(spacing);
  return l;
}

Event Of(Event::Kind kind) {
  Event ev;
  ev.kind = kind;
  return ev;
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

// Gives a widget of type W the text t through set when get reads another;
// an unchanged text is not set again, so nothing redraws or moves a cursor.
template <class W, class Get, class Set>
void SetIfChanged(QWidget* widget, const QString& t, Get get, Set set) {
  auto* w = qobject_cast<W*>(widget);
  if (w && std::invoke(get, w) != t) std::invoke(set, w, t);
}

// A Delphi-style edit mask ('0' a required digit, '9' an optional one) in
// Qt's spelling, where the two are the other way round.
QString QtMask(const std::string& mask) {
  QString m = QString::fromStdString(mask);
  for (QChar& ch : m) {
    if (ch == QLatin1Char('0'))
      ch = QLatin1Char('9');
    else if (ch == QLatin1Char('9'))
      ch = QLatin1Char('0');
  }
  return m;
}

}  // namespace

MainWindow::MainWindow(WindowOptions options) : QWidget(nullptr), ws_(platform_) {
  ws_.onDispatch = [this](const std::string& control, const Event& ev) {
    if (dispatchHook) dispatchHook(control, ev);
  };
  setObjectName(QStringLiteral("TForm1"));
  platform_.parent = this;
  platform_.splash = options.splash;
  remember_ = options.remember;
  platform_.messageHook = std::move(options.messageHook);
  platform_.onStatus = [this](const std::string& t) { showStatus(t); };
  platform_.onPrint = [this]() -> std::string {
    // The memo panel was taken off the chart just before: show that first.
    mirror();
    return chart_->print().toStdString();
  };
  platform_.onPump = [this] { mirrorForm(); };
  jobs_ = std::make_unique<ListJobs>([this] { return ws_.busy(); },
                                     [this](const QString& note) {
                                       ws_.setStatus(FromQt(note));
                                       mirrorForm();
                                     },
                                     this);
  importer_ = std::make_unique<PriceFileImport>(
      this, ws_, [this] { mirror(); }, [this](const std::string& code) { selectCode(code); });
  updater_ = std::make_unique<ListUpdate>(this, ws_, [this] { mirror(); });
  setAcceptDrops(true);

  build();
  wireControls();
  addShortcuts();
  // The memo's design text is no memo: a start-up that stops before the
  // memo file (no stock list yet) leaves the memo empty.
  ws_.form.setText("Memo3", "");
  // The first stock the start-up charts is judged the chosen way.
  startJudging();
  mirror();
  if (options.runStartup) click("Button52");
}

MainWindow::~MainWindow() {
  // The scan window stops and joins its scan before the engine goes.
  delete scan_;
  scan_ = nullptr;
}

void MainWindow::bind(const std::string& name, QWidget* w) {
  w->setObjectName(QString::fromStdString(name));
  widgets_[name] = w;
}

QWidget* MainWindow::widget(const std::string& name) const {
  auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

GridModel* MainWindow::model(const std::string& table) const {
  auto it = models_.find(table);
  return it == models_.end() ? nullptr : it->second;
}

GridView* MainWindow::grid(const std::string& component) const {
  auto it = grids_.find(component);
  return it == grids_.end() ? nullptr : it->second;
}

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
  view->horizontalHeader()->setDefaultSectionSize(columnWidth);
  view->horizontalHeader()->setMinimumSectionSize(kGridMinColumnWidth);
  view->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
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
  auto* csv = new QPushButton(QStringLiteral("CSV保存"), strip);
  bind("StatsCsvButton", csv);
  csv->setToolTip(QStringLiteral("取引一覧と統計をCSVファイルに保存します (Ctrl+E)"));
  auto* image = new QPushButton(QStringLiteral("画像保存"), strip);
  bind("ChartImageButton", image);
  image->setToolTip(QStringLiteral("チャートを表示中の大きさでPNGまたはPDFに保存します"));
  sh->addWidget(strip);
  splitter_->addWidget(statsArea);
  connect(csv, &QPushButton::clicked, this, [this] { chooseStatsCsv(); });
  connect(image, &QPushButton::clicked, this, [this] { chooseChartImage(); });
  auto* figures = new QPushButton(QStringLiteral("検証図"), strip);
  bind("BacktestButton", figures);
  figures->setToolTip(QStringLiteral("資産倍率・ドローダウン・分布の図を別の窓に開きます"));
  connect(figures, &QPushButton::clicked, this, [this] { openBacktest(); });
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
  // A stock of the picker is renamed or removed from its context menu.
  picker->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(picker, &QWidget::customContextMenuRequested, this, [this, picker](const QPoint& at) {
    const QString heading = picker->indexAt(at).data().toString().trimmed();
    if (heading.size() < 4) return;
    QMenu menu(picker);
    QAction* rename = menu.addAction(QStringLiteral("名前の変更..."));
    QAction* remove = menu.addAction(QStringLiteral("デ-タ一覧から削除..."));
    QAction* chosen = menu.exec(picker->viewport()->mapToGlobal(at));
    if (chosen == rename) chooseRename(heading);
    if (chosen == remove) chooseRemove(heading);
  });
  GridView* cand = makeGrid("StringGrid7", kCandidateColumnWidth, false, area);
  cand->hide();
  widget("Panel14")->raise();
  placeOverlays();

  // The column widths the user gave the grids last time.
  if (remember_) memory_ = WindowMemory::load();
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
  widget("Button130")->setToolTip(QStringLiteral("売買の印を表示/非表示"));

  auto* p11 = new QFrame(panel);
  bind("Panel11", p11);
  p11->setFrameShape(QFrame::Panel);
  p11->setFrameShadow(QFrame::Raised);
  Fill(p11, kRulePanelFace);
  p11->setGeometry(kRulePanel);
  for (const Placed& p : kRulePanelControls) bind(p.name, MakePlaced(ws_.form, p, p11));
  // Window-only: not a control of the Form, so no handler sees it.
  auto* scan = new QPushButton(QStringLiteral("一括検証"), p11);
  bind("ScanButton", scan);
  scan->setGeometry(kScanButton);
  scan->setToolTip(QStringLiteral("全銘柄を全規則で検証し、年利率の順に並べます"));
  connect(scan, &QPushButton::clicked, this, [this] { openScan(); });
  buildJudgingControls(p11);
  p11->hide();

  // Window-only: the import of price files, also on Ctrl+I.
  auto* import = static_cast<QPushButton*>(widget("ImportButton"));
  import->setText(QStringLiteral("取込"));
  import->setToolTip(QStringLiteral("株価ファイル(CSV)を取り込みます (Ctrl+I)"));
  connect(import, &QPushButton::clicked, this, [this] { chooseImport(); });
  // Window-only: the list as it was before its last change.
  auto* undo = static_cast<QPushButton*>(widget("UndoButton"));
  undo->setText(QStringLiteral("元に戻す"));
  undo->setToolTip(
      QStringLiteral("デ-タ一覧を最後の変更（取込・調整・追加・改名・削除）の前に戻します"));
  connect(undo, &QPushButton::clicked, this, [this] { chooseUndo(); });
  // Window-only: 一括更新 from the J-Quants API, and its key and plan.
  auto* update = static_cast<QPushButton*>(widget("UpdateButton"));
  update->setText(QStringLiteral("一括更新"));
  update->setToolTip(QStringLiteral(
      "全銘柄の株価を J-Quants API から最新の日まで取得します（APIキーが要ります）"));
  connect(update, &QPushButton::clicked, this, [this] { chooseUpdate(); });
  auto* settings = static_cast<QPushButton*>(widget("UpdateSettingsButton"));
  settings->setText(QStringLiteral("更新設定..."));
  settings->setToolTip(QStringLiteral("一括更新に使う J-Quants API のキーとプランを設定します"));
  connect(settings, &QPushButton::clicked, this, [this] { updater_->editSettings(); });

  // Proposals under the code box as the user types a code or a name.
  auto* edit1 = static_cast<TextBox*>(widget("Edit1"));
  edit1->setToolTip(
      QStringLiteral("銘柄コードを入れてEnter。コードの頭や銘柄名の一部で候補が出ます (Ctrl+F)"));
  finder_ = new StockFinder(edit1, [this]() -> const WorkTable& { return ws_.StockList; });
  finder_->onChosen = [this](const std::string& code) { selectCode(code); };
}

void MainWindow::addShortcuts() {
  auto add = [this](QKeySequence keys, std::function<void()> run) {
    auto* k = new QShortcut(keys, this);
    connect(k, &QShortcut::activated, this, std::move(run));
    shortcutKeys_ << keys;
  };
  add(QKeySequence(Qt::Key_F1), [this] { showManual(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { click("Button59"); });
  // The memo is saved only while it is shown.
  add(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
    if (ws_.form.visible("Panel7")) click("Button18");
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] {
    QWidget* box = widget("Edit1");
    box->setFocus(Qt::ShortcutFocusReason);
    static_cast<QLineEdit*>(box)->selectAll();
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_E), [this] { chooseStatsCsv(); });
  add(QKeySequence(Qt::CTRL | Qt::Key_I), [this] { chooseImport(); });
  widget("Button59")->setToolTip(QStringLiteral("チャートを印刷します (Ctrl+P)"));
  widget("Button88")->setToolTip(QStringLiteral("利用説明の窓を開きます (F1)"));
  widget("Button18")->setToolTip(QStringLiteral("メモを保存します (Ctrl+S)"));
  for (QWidget* box : findChildren<QLineEdit*>()) box->installEventFilter(this);
  for (QWidget* box : findChildren<QPlainTextEdit*>()) box->installEventFilter(this);
  // ←/→ step the base date from anywhere in the window but a text box or a
  // grid, which keep their own use of the keys.
  for (QWidget* button : findChildren<QAbstractButton*>()) button->installEventFilter(this);
}

// The day steps of ←/→: 前日 (Button62) and 次日 (Button61). False for any
// other key.
bool MainWindow::stepDate(const QKeyEvent* key) {
  if ((key->key() != Qt::Key_Left && key->key() != Qt::Key_Right) ||
      key->modifiers() != Qt::NoModifier)
    return false;
  click(key->key() == Qt::Key_Left ? "Button62" : "Button61");
  return true;
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
  if (!stepDate(e)) QWidget::keyPressEvent(e);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && qobject_cast<QAbstractButton*>(watched) &&
      stepDate(static_cast<QKeyEvent*>(e)))
    return true;
  if (e->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(e);
    // Left unaccepted, the key goes on to the window's shortcut.
    if (shortcutKeys_.contains(QKeySequence(key->keyCombination()))) return true;
  }
  return QWidget::eventFilter(watched, e);
}

void MainWindow::showManual() {
  if (help_ && ws_.form.visible("TForm4")) {
    help_->raise();
    help_->activateWindow();
    return;
  }
  click("Button88");
}

void MainWindow::placeRulePanel() {
  QWidget* panel = widget("Panel1");
  const int want = kControlPanelWidth + (widget("Panel11")->isHidden() ? 0 : kRulePanelRoom);
  if (panel->width() != want) panel->setFixedWidth(want);
}

void MainWindow::placeSaveStrip() {
  QWidget* strip = widget("StatsStrip");
  QWidget* buttons[] = {widget("StatsCsvButton"), widget("ChartImageButton"),
                        widget("BacktestButton")};
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
  // A window lower than designed is sized once it is shown.
  if (height() > kChartHeight + kBottomHeight || isVisible()) sizeSplitter();
}

void MainWindow::sizeSplitter() {
  if (sized_) return;
  sized_ = true;
  // The sizes the user left last time, else the designed ones; a low window
  // takes its height from the chart.
  const int room = splitter_->height() - 2 * splitter_->handleWidth();
  if (const QList<int> fit = FitSplitter(memory_.splitter, room, kPaneMinimums); !fit.isEmpty()) {
    splitter_->setSizes(fit);
    return;
  }
  const int chart =
      std::clamp(room - kBottomHeight - kStatsMinHeight, kChartMinHeight, kChartHeight);
  splitter_->setSizes(
      {chart, std::max(kStatsMinHeight, room - chart - kBottomHeight), kBottomHeight});
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // A handler waiting for a page is still on the stack: the window stays
  // until it has returned.
  if (ws_.busy()) {
    e->ignore();
    return;
  }
  e->accept();
  rememberLayout();
  // Closing the main window ends the program, help window included.
  if (help_) help_->hide();
  QCoreApplication::quit();
}

void MainWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  sizeSplitter();
  placeOverlays();
}

void MainWindow::wireControls() {
  for (const auto& [name, c] : ws_.form.all()) wireControl(name, c.kind);
  for (const char* g : {"StringGrid5", "StringGrid7"}) {
    const std::string n = g;
    connect(grid(n), &GridView::released, this, [this, n](int col, int row) {
      Event ev = Of(Event::MouseUp);
      ev.col = col;
      ev.row = row;
      fire(n, ev);
    });
  }
  chart_->onPress = [this](const ChartHits& hits) {
    Event ev = Of(Event::MouseDown);
    ev.hits = hits;
    fire("chart1", ev);
  };
  // Arrow keys on the chart: left one day back ("前日"), right one day on ("次日").
  chart_->onStep = [this](bool back) { click(back ? "Button62" : "Button61"); };
}

void MainWindow::wireControl(const std::string& name, ControlKind kind) {
  using K = ControlKind;
  QWidget* w = widget(name);
  if (!w) return;
  auto send = [this, name](Event::Kind k) { return [this, name, k] { fire(name, Of(k)); }; };
  if (kind == K::Button || kind == K::BitBtn) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      connect(b, &QAbstractButton::clicked, this, send(Event::Click));
  } else if (kind == K::Label) {
    if (auto* l = qobject_cast<ClickLabel*>(w)) {
      connect(l, &ClickLabel::clicked, this, send(Event::Click));
      connect(l, &ClickLabel::doubleClicked, this, send(Event::DblClick));
    }
  } else if (kind == K::Edit || kind == K::MaskEdit) {
    if (auto* t = qobject_cast<TextBox*>(w)) {
      connect(t, &TextBox::keyPressed, this, [this, name](int code) {
        Event ev = Of(Event::KeyPress);
        ev.key = code;
        fire(name, ev);
      });
      connect(t, &TextBox::doubleClicked, this, send(Event::DblClick));
      connect(t, &QLineEdit::textEdited, this, [this, name] { textEdited(name); });
    }
  } else if (kind == K::Memo) {
    if (auto* m = qobject_cast<QPlainTextEdit*>(w))
      connect(m, &QPlainTextEdit::textChanged, this, [this, name] { syncText(name); });
  }
}

void MainWindow::click(const std::string& control) { fire(control, Of(Event::Click)); }

ScanWindow* MainWindow::openScan() {
  if (!scan_) {
    ScanSource source;
    source.stockList = [this] { return ws_.StockList; };
    source.stockCount = [this] { return static_cast<int>(ScanColumns(ws_.StockList).size()); };
    source.entryBuy = [this] { return ws_.backtest.entryBuy(); };
    source.judging = [this] { return ws_.judging; };
    source.openToday = [this] { openToday(); };
    source.pick = [this](const ScanRow& row, bool shortTerm) {
      pickStockRule(row.code, row.tag, shortTerm);
    };
    scan_ = new ScanWindow(std::move(source), this);
    scan_->messageHook = platform_.messageHook;
  }
  scan_->show();
  scan_->raise();
  scan_->activateWindow();
  return scan_;
}

BacktestView* MainWindow::openBacktest() {
  if (!backtest_) {
    backtest_ = new BacktestView(this);
    backtest_->messageHook = platform_.messageHook;
  }
  backtestVersion_ = ~std::uint64_t{0};
  refreshBacktest();
  backtest_->show();
  backtest_->raise();
  backtest_->activateWindow();
  return backtest_;
}

void MainWindow::refreshBacktest() {
  // The stock, rule and direction in the heading; the figures only when a
  // chain wrote the statistics since they were last shown.
  const std::string& rule = ws_.backtest.condition();
  const bool buy = ws_.backtest.entryBuy();
  QString subject = Shown(ws_.form.text("Edit5")).trimmed();
  if (!IsBlank(rule)) subject += QStringLiteral("　") + QString::fromStdString(rule);
  // A saved picture says how its figures were judged.
  subject += QStringLiteral("　") + JudgingName(ws_.judging);
  subject += buy ? QStringLiteral("　入買") : QStringLiteral("　入売");
  std::string stem = ws_.form.text("Edit1");
  if (!IsBlank(rule)) stem += "_" + rule;
  backtest_->setSubject(subject.trimmed(), QString::fromStdString(stem + "_検証図"));
  if (ws_.StatsTable.version() == backtestVersion_) return;
  backtestVersion_ = ws_.StatsTable.version();
  backtest_->show(ws_.backtest.figures(), ws_.backtest.distributions());
}

void MainWindow::pickStockRule(const std::string& code, int tag, bool shortTerm) {
  platform_.beginWait();
  const bool picked = PickScanRow(ws_, code, tag, shortTerm);
  platform_.endWait();
  mirror();
  if (!picked) return;
  raise();
  activateWindow();
}

bool MainWindow::saveStatsCsv(const QString& path) {
  try {
    SaveStatsCsv(ws_.StatsTable, path.toStdString());
  } catch (const std::exception& e) {
    platform_.error(e.what());
    return false;
  }
  return true;
}

bool MainWindow::saveChartImage(const QString& path) {
  const QString failed = chart_->saveImage(path);
  if (failed.isEmpty()) return true;
  platform_.error(failed.toStdString());
  return false;
}

void MainWindow::chooseStatsCsv() {
  // Suggested name: the code and the rule of the list.
  std::string name = ws_.form.text("Edit1");
  const std::string& rule = ws_.backtest.condition();
  if (!IsBlank(rule)) name += "_" + rule;
  const QString path =
      AskSavePath(this, QStringLiteral("CSV保存"), QString::fromStdString(name) + ".csv",
                  {{QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral(".csv")}});
  if (!path.isEmpty()) saveStatsCsv(path);
}

void MainWindow::chooseChartImage() {
  const QString path = AskSavePath(this, QStringLiteral("画像保存"),
                                   QString::fromStdString(ws_.form.text("Edit1")) + ".png",
                                   {{QStringLiteral("PNG 画像 (*.png)"), QStringLiteral(".png")},
                                    {QStringLiteral("PDF 文書 (*.pdf)"), QStringLiteral(".pdf")}});
  if (!path.isEmpty()) saveChartImage(path);
}

void MainWindow::chooseImport() {
  const QStringList paths = importer_->askPaths();
  if (!paths.isEmpty()) importFiles(paths);
}

void MainWindow::chooseUpdate() {
  jobs_->run(QStringLiteral("一括更新"), [this] { updater_->choose(); });
}

void MainWindow::chooseRename(const QString& heading) {
  if (ws_.busy()) return;
  const QString code = heading.left(4);
  const QString old = heading.mid(4).trimmed();
  bool ok = true;
  const QString name = askName ? askName(heading)
                               : QInputDialog::getText(this, QStringLiteral("名前の変更"),
                                                       QStringLiteral("%1 の新しい名前:").arg(code),
                                                       QLineEdit::Normal, old, &ok);
  if (!ok || name.trimmed().isEmpty() || name.trimmed() == old) return;
  jobs_->run(QStringLiteral("名前の変更"), [this, code, name] {
    platform_.beginWait();
    RenameStock(ws_, code.toStdString(), FromQt(name.trimmed()));
    platform_.endWait();
    mirror();
  });
}

void MainWindow::chooseRemove(const QString& heading) {
  if (ws_.busy()) return;
  const bool yes =
      askRemove ? askRemove(heading)
                : QMessageBox::question(this, QStringLiteral("削除"),
                                        QStringLiteral("%1 をデ-タ一覧から削除しますか？\n"
                                                       "（「元に戻す」で削除の前に戻せます）")
                                            .arg(heading),
                                        QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::No) == QMessageBox::Yes;
  if (!yes) return;
  jobs_->run(QStringLiteral("削除"), [this, heading] {
    platform_.beginWait();
    RemoveStock(ws_, heading.left(4).toStdString());
    platform_.endWait();
    mirror();
  });
}

void MainWindow::chooseUndo() {
  if (ws_.busy()) return;
  const bool yes =
      askUndo ? askUndo()
              : QMessageBox::question(this, QStringLiteral("元に戻す"),
                                      QStringLiteral("デ-タ一覧を最後の変更の前に戻しますか？"),
                                      QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No) == QMessageBox::Yes;
  if (!yes) return;
  jobs_->run(QStringLiteral("元に戻す"), [this] {
    platform_.beginWait();
    UndoListChange(ws_);
    platform_.endWait();
    mirror();
  });
}

bool MainWindow::importFiles(const QStringList& paths) {
  auto taken = std::make_shared<bool>(false);
  jobs_->run(QStringLiteral("取込"), [this, paths, taken] { *taken = importer_->run(paths); });
  return *taken;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  QStringList paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  e->acceptProposedAction();
  // The dragging program waits for the drop to return: the import runs
  // once it has.
  QMetaObject::invokeMethod(
      this, [this, paths] { importFiles(paths); }, Qt::QueuedConnection);
}

void MainWindow::attachHelp(HelpWindow* help) {
  help_ = help;
  platform_.help = help;
  widgets_["TForm4"] = help;
  widgets_["TForm4.WebBrowser1"] = help->browser();
  widgets_["TForm4.Panel1"] = help->panel();
  widgets_["TForm4.Label1"] = help->label();
  widgets_["TForm4.Button1"] = help->button1();
  widgets_["TForm4.Button2"] = help->button2();
  for (const char* b : {"TForm4.Button1", "TForm4.Button2"}) wireControl(b, ws_.form.get(b).kind);
  help->onClosed = [this] {
    // Closed with its close box: the window is hidden, as "利用説明" would.
    ws_.form.setVisible("TForm4", false);
    mirror();
  };
  formVersion_ = ~std::uint64_t{0};
  mirror();
}

void MainWindow::syncText(const std::string& name) {
  if (mirroring_) return;
  QWidget* w = widget(name);
  if (auto* t = qobject_cast<QLineEdit*>(w))
    ws_.form.setText(name, FromQt(t->text(), ws_.form.text(name)));
  else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
    ws_.form.setText(name, MemoFromQt(m->toPlainText(), ws_.form.text(name)));
}

void MainWindow::textEdited(const std::string& name) {
  if (mirroring_) return;
  fire(name, Of(Event::Change));
}

void MainWindow::typeInto(const std::string& control, const std::string& text) {
  auto* e = qobject_cast<QLineEdit*>(widget(control));
  if (!e) return;
  e->setText(QString::fromStdString(text));
  textEdited(control);
}

namespace {
// The events whose handlers change the stock list or the series the list's
// jobs build on: the collection and its storing, the stand-alone
// collections, a price added by hand and its undoing.
bool ChangesList(const std::string& control, const Event& ev) {
  if (ev.kind == Event::Change) return false;
  static const std::set<std::string> clicked = {"Button89",  "Button104", "Button105",
                                                "Button107", "Button109", "BitBtn1",
                                                "Button17",  "Button34",  "Button35"};
  if (ev.kind == Event::KeyPress)
    return (control == "Edit18" || control == "Edit6") && ev.key == 13;
  if (ev.kind == Event::DblClick) return control == "Edit18";
  return clicked.count(control) > 0;
}
}  // namespace

void MainWindow::fire(const std::string& control, const Event& ev) {
  if (!ChangesList(control, ev)) {
    fireNow(control, ev);
    return;
  }
  const Control* c = ws_.form.has(control) ? &ws_.form.get(control) : nullptr;
  const QString what = c && !c->text.empty() ? ToQt(c->text) : ToQt(control);
  jobs_->run(what, [this, control, ev] { fireNow(control, ev); });
}

void MainWindow::fireNow(const std::string& control, const Event& ev) {
  // A text box's own event reads the text as it stands in the box.
  if (ws_.form.has(control)) {
    const ControlKind k = ws_.form.get(control).kind;
    if (k == ControlKind::Edit || k == ControlKind::MaskEdit || k == ControlKind::Memo)
      syncText(control);
  }
  const bool wait = ev.kind != Event::Change;
  if (wait) platform_.beginWait();
  ws_.dispatch(control, ev);
  if (wait) platform_.endWait();
  mirror();
}

void MainWindow::selectCode(const std::string& code) {
  platform_.beginWait();
  ws_.selectCode(code);
  platform_.endWait();
  mirror();
}

void MainWindow::mirror() {
  mirrorForm();
  for (auto& [name, m] : models_) m->refresh();
  followBaseDate();
  // A new backtest's dates and labels are never cut.
  if (ws_.StatsTable.version() != statsFitted_) {
    statsFitted_ = ws_.StatsTable.version();
    grid("StringGrid4")->fitColumnsToTexts(kStatsRowsFitted);
  }
  chart_->refresh();
  if (scan_) scan_->refreshDirection();
  mirrorJudging();
  if (backtest_ && backtest_->isVisible()) refreshBacktest();
  if (QWidget* guide = widget("ImportGuide"); guide && guide->isHidden() == ws_.nothingToChart())
    guide->setVisible(ws_.nothingToChart());
}

void MainWindow::followBaseDate() {
  // The value grid shows and marks the base date's row, the day steps too.
  const std::string& date = ws_.form.text("Edit2");
  if (date == followedDate_) return;
  followedDate_ = date;
  GridView* values = grid("StringGrid2");
  QAbstractItemModel* m = values->model();
  for (int r = 1; r < m->rowCount() && r <= kValueRowsSearched; ++r)
    if (m->index(r, 0).data().toString() == Shown(date)) {
      values->scrollTo(m->index(r, 0), QAbstractItemView::EnsureVisible);
      values->setCurrentIndex(m->index(r, 0));
      return;
    }
}

void MainWindow::mirrorForm() {
  if (ws_.form.version() == formVersion_) return;
  mirroring_ = true;
  for (const auto& [name, c] : ws_.form.all()) {
    auto it = widgets_.find(name);
    if (it != widgets_.end()) mirrorControl(c, it->second);
  }
  formVersion_ = ws_.form.version();
  mirroring_ = false;
  placeRulePanel();
}

void MainWindow::mirrorControl(const Control& c, QWidget* w) {
  using K = ControlKind;
  if (c.name == "TForm1") {
    setWindowTitle(Shown(c.text));
    setEnabled(c.enabled);
    if (c.width != askedWidth_ || c.height != askedHeight_) {
      askedWidth_ = c.width;
      askedHeight_ = c.height;
      if (isVisible()) showAsAsked();
    }
    return;
  }
  if (c.name == "TForm4") {
    w->setWindowTitle(Shown(c.text));
    if (c.visible && !w->isVisible()) {
      w->show();
      w->raise();
    } else if (!c.visible && w->isVisible()) {
      w->hide();
    }
    return;
  }
  // The browser's own visible flag does not hide the embedded browser; the
  // text face's panel covers it.
  if (c.name != "TForm4.WebBrowser1" && w->isHidden() == c.visible) w->setVisible(c.visible);
  if (w->isEnabled() != c.enabled) w->setEnabled(c.enabled);
  switch (c.kind) {
    case K::Button:
    case K::BitBtn:
      SetIfChanged<QAbstractButton>(w, Caption(c.text), &QAbstractButton::text,
                                    &QAbstractButton::setText);
      break;
    case K::Label:
      SetIfChanged<QLabel>(w, ToQt(c.text), &QLabel::text, &QLabel::setText);
      break;
    case K::Edit:
    case K::MaskEdit:
      if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (c.numberOnly && !e->validator())
          e->setValidator(
              new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        else if (!c.numberOnly && e->validator())
          e->setValidator(nullptr);
        // Qt reports a mask with its blank character appended, so the mask
        // last applied is kept on the widget for the comparison.
        const QString mask = c.editMask.empty() ? QString() : QtMask(c.editMask);
        if (e->property("tavrineMask").toString() != mask) {
          e->setProperty("tavrineMask", mask);
          e->setInputMask(mask);
          e->setText(Shown(c.text));
          // The mask may reshape the text; the Form keeps what the box holds.
          ws_.form.setText(c.name, FromQt(e->text(), c.text));
          break;
        }
        SetIfChanged<QLineEdit>(e, Shown(c.text), &QLineEdit::text, &QLineEdit::setText);
      }
      break;
    case K::Memo:
      SetIfChanged<QPlainTextEdit>(w, MemoToQt(c.text), &QPlainTextEdit::toPlainText,
                                   &QPlainTextEdit::setPlainText);
      break;
    case K::StatusBar:
      SetIfChanged<QStatusBar>(w, Shown(c.text), &QStatusBar::currentMessage,
                               [](QStatusBar* bar, const QString& t) { bar->showMessage(t); });
      break;
    default:
      break;
  }
}

void MainWindow::showStatus(const std::string& text) {
  // Shown at once: the collection waits for pages inside a handler.
  if (auto* s = qobject_cast<QStatusBar*>(widget("StatusBar1"))) {
    s->showMessage(Shown(text));
    s->repaint();
  }
}

void MainWindow::rememberLayout() {
  if (!remember_) return;
  WindowMemory m;
  m.geometry = isMaximized() ? normalGeometry() : geometry();
  m.maximized = isMaximized();
  // A layout with a pane squeezed away is not kept: the next start then
  // takes the designed sizes.
  if (SplitterWorthKeeping(splitter_->sizes(), kPaneMinimums)) m.splitter = splitter_->sizes();
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

void ServeWindow(HandOverServer& server, MainWindow& window) {
  server.onFiles = [&window](const QStringList& files) {
    if (window.isMinimized()) window.showNormal();
    window.raise();
    window.activateWindow();
    if (!files.isEmpty()) window.importFiles(files);
  };
  server.onUpdate = [&window](const std::function<void(int, const QString&)>& answer) {
    // It may wait behind another job: the answer is kept with it.
    window.jobs().run(QStringLiteral("一括更新"), [&window, answer] {
      window.updater().run(false, [answer](const UpdateSummary& s) {
        answer(UpdateStatus(s), UpdateOutcomeText(s));
      });
    });
  };
}

}  // namespace tavrine::gui
