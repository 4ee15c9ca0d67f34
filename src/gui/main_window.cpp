#include "gui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "gui/chart_widget.h"
#include "gui/grid_model.h"
#include "gui/help_window.h"
#include "gui/scan_window.h"
#include "gui/splash_window.h"
#include "gui/widgets.h"
#include "signals/rules.h"
#include "store/control_cells.h"
#include "store/paths.h"
#include "views/export.h"

namespace tavrine::gui {

namespace {

constexpr const char* kFontFamily = "Noto Sans CJK JP";

QFont PixelFont(int px, bool bold = false) {
  QFont f(QString::fromLatin1(kFontFamily));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
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

void Fill(QWidget* w, const QColor& c) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
}

// The designed chart area height: the memo panel keeps its distance from
// the chart's lower edge as designed.
constexpr int kChartHeight = 497;
constexpr int kBottomHeight = 102;

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
  setObjectName(QStringLiteral("TForm1"));
  platform_.parent = this;
  platform_.splash = options.splash;
  platform_.messageHook = std::move(options.messageHook);
  platform_.onStatus = [this](const std::string& t) { showStatus(t); };
  platform_.onPrint = [this]() -> std::string {
    // The memo panel was taken off the chart just before: show that first.
    mirror();
    return chart_->print().toStdString();
  };
  platform_.onPump = [this] { mirrorForm(); };

  build();
  wireControls();
  mirror();
  if (options.runStartup) {
    Event ev;
    ev.kind = Event::Click;
    fire("Button52", ev);
  }
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

void MainWindow::build() {
  setWindowTitle(QStringLiteral("tavrine"));
  resize(897, 713);
  setFont(PixelFont(12));

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  splitter_ = new QSplitter(Qt::Vertical, this);
  splitter_->setHandleWidth(5);
  splitter_->setChildrenCollapsible(false);
  root->addWidget(splitter_);

  auto makeGrid = [this](const std::string& component, WorkTable& table, int colWidth, bool editable,
                          QWidget* parent) {
    auto* view = new GridView(parent);
    auto* m = new GridModel(table, editable, view);
    m->locked = [this] { return ws_.busy(); };
    view->setModel(m);
    view->horizontalHeader()->hide();
    view->verticalHeader()->hide();
    view->horizontalHeader()->setDefaultSectionSize(colWidth);
    view->horizontalHeader()->setMinimumSectionSize(8);
    view->verticalHeader()->setDefaultSectionSize(20);
    view->verticalHeader()->setMinimumSectionSize(12);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->setWordWrap(false);
    view->setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                         QAbstractItemView::AnyKeyPressed
                                   : QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setFont(PixelFont(12));
    view->setGridStyle(Qt::SolidLine);
    bind(component, view);
    models_[table.name()] = m;
    grids_[component] = view;
    return view;
  };

  // Chart area with the panels that lie over it.
  auto* area = new Area(splitter_);
  chartArea_ = area;
  area->setMinimumHeight(120);
  buildChartArea(area);
  area->onResize = [this] { placeOverlays(); };
  splitter_->addWidget(area);

  // Statistics grid between the splitters, with a slim strip at its right
  // for saving the list and the chart. The strip's buttons are placed by
  // hand so they never hold the area taller than the grid needs.
  auto* statsArea = new QWidget(splitter_);
  statsArea->setMinimumHeight(30);
  auto* sh = new QHBoxLayout(statsArea);
  sh->setContentsMargins(0, 0, 0, 0);
  sh->setSpacing(0);
  GridView* stats = makeGrid("StringGrid4", ws_.StatsTable, 45, false, statsArea);
  sh->addWidget(stats, 1);
  auto* strip = new QWidget(statsArea);
  bind("StatsStrip", strip);
  strip->setFixedWidth(82);
  Fill(strip, QColor(0xEC, 0xEC, 0xE8));
  auto* csv = new QPushButton(QStringLiteral("CSV保存"), strip);
  bind("StatsCsvButton", csv);
  csv->setGeometry(5, 4, 72, 24);
  csv->setToolTip(QStringLiteral("取引一覧と統計をCSVファイルに保存します"));
  auto* image = new QPushButton(QStringLiteral("画像保存"), strip);
  bind("ChartImageButton", image);
  image->setGeometry(5, 32, 72, 24);
  image->setToolTip(QStringLiteral("チャートを表示中の大きさでPNGまたはPDFに保存します"));
  sh->addWidget(strip);
  splitter_->addWidget(statsArea);
  connect(csv, &QPushButton::clicked, this, [this] { chooseStatsCsv(); });
  connect(image, &QPushButton::clicked, this, [this] { chooseChartImage(); });

  // Bottom panel: SeriesTable, StockList, control panel.
  auto* panel2 = new QWidget(splitter_);
  bind("Panel2", panel2);
  panel2->setMinimumHeight(60);
  auto* h = new QHBoxLayout(panel2);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(0);
  GridView* series = makeGrid("StringGrid2", ws_.SeriesTable, 85, false, panel2);
  series->setFixedWidth(256);
  GridView* list = makeGrid("StringGrid1", ws_.StockList, 85, true, panel2);
  auto* panel1 = new QWidget(panel2);
  bind("Panel1", panel1);
  panel1->setFixedWidth(539);
  Fill(panel1, QColor(0xEC, 0xEC, 0xE8));
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
  GridView* picker = makeGrid("StringGrid5", ws_.StockPicker, 130, false, widget("Panel4"));
  picker->horizontalHeader()->resizeSection(0, 24);
  picker->setFont(PixelFont(13));
  picker->verticalHeader()->setDefaultSectionSize(22);
  static_cast<QVBoxLayout*>(widget("Panel4")->layout())->addWidget(picker, 1);
  GridView* cand = makeGrid("StringGrid7", ws_.CandidateTable, 64, false, area);
  cand->hide();
  widget("Panel14")->raise();
  placeOverlays();
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
  Fill(panel7, QColor(0xD8, 0xD8, 0xD4));
  auto* v7 = new QVBoxLayout(panel7);
  v7->setContentsMargins(2, 2, 2, 2);
  v7->setSpacing(2);
  auto* memo = new QPlainTextEdit(panel7);
  bind("Memo3", memo);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: #F2F2F2; }"));
  memo->setFont(PixelFont(12));
  v7->addWidget(memo, 1);
  auto* save = new QPushButton(QStringLiteral("保　　存"), panel7);
  bind("Button18", save);
  save->setFixedSize(81, 25);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(30, 0, 0, 0);
  row->addWidget(save);
  row->addStretch(1);
  v7->addLayout(row);

  // Stock picker panel over the whole chart.
  auto* panel4 = new Area(area);
  bind("Panel4", panel4);
  Fill(panel4, QColor(0xF4, 0xF4, 0xF0));
  auto* v4 = new QVBoxLayout(panel4);
  v4->setContentsMargins(0, 0, 0, 0);
  v4->setSpacing(0);
  auto* panel5 = new QWidget(panel4);
  bind("Panel5", panel5);
  Fill(panel5, QColor(0x00, 0x40, 0x80));
  panel5->setFixedHeight(34);
  auto* h5 = new QHBoxLayout(panel5);
  h5->setContentsMargins(4, 4, 4, 4);
  h5->setSpacing(6);
  auto* edit4 = new TextBox(panel5);
  bind("Edit4", edit4);
  edit4->setReadOnly(true);
  edit4->setFont(PixelFont(15, true));
  edit4->setFixedWidth(340);
  auto* edit7 = new TextBox(panel5);
  bind("Edit7", edit7);
  edit7->setReadOnly(true);
  edit7->setFont(PixelFont(13));
  edit7->setFixedWidth(150);
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
  Fill(panel14, QColor(0xE4, 0xEC, 0xF4));
  panel14->resize(440, 236);
  auto* l21 = new ClickLabel(QString(), panel14);
  bind("Label21", l21);
  l21->setGeometry(12, 8, 416, 76);
  l21->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  l21->setWordWrap(true);
  auto* l22 = new ClickLabel(QStringLiteral("銘柄コード入力"), panel14);
  bind("Label22", l22);
  l22->setGeometry(12, 88, 140, 18);
  auto* edit18 = new TextBox(panel14);
  bind("Edit18", edit18);
  edit18->setGeometry(12, 108, 90, 26);
  edit18->setFont(PixelFont(14));
  auto btn = [this, panel14](const char* name, const char* caption, int x, int y, int w) {
    auto* b = new QPushButton(QString::fromUtf8(caption), panel14);
    bind(name, b);
    b->setGeometry(x, y, w, 26);
    return b;
  };
  btn("Button89", "実行", 110, 108, 70);
  btn("Button90", "閉じる", 186, 108, 70);
  btn("Button110", "候補閲覧", 12, 146, 100);
  btn("Button87", "ｔａｌｌｙ閲覧", 118, 146, 112);
  btn("Button104", "銘柄追加更新", 236, 146, 112)->hide();
  auto* status = new QStatusBar(panel14);
  bind("StatusBar1", status);
  status->setSizeGripEnabled(false);
  status->setGeometry(2, 236 - 26, 436, 24);
  status->setStyleSheet(QStringLiteral("QStatusBar { border-top: 1px solid #A0A0A0; }"));
  panel4->onResize = [panel4, panel14] {
    panel14->move(std::max(0, panel4->width() - panel14->width() - 16), 44);
  };
  panel14->hide();
  panel4->hide();
}

void MainWindow::buildControlPanel(QWidget* panel) {
  const int rowY[] = {6, 38, 70};
  auto label = [this, panel, &rowY](const char* name, const char* text, int row, int x, int w, bool clickable) {
    auto* l = new ClickLabel(QString::fromUtf8(text), panel);
    bind(name, l);
    l->setGeometry(x, rowY[row], w, 26);
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    if (clickable) {
      l->setCursor(Qt::PointingHandCursor);
      l->setStyleSheet(QStringLiteral("color: #003070; text-decoration: underline;"));
    }
    return l;
  };
  auto edit = [this, panel, &rowY](const char* name, int row, int x, int w) {
    auto* e = new TextBox(panel);
    bind(name, e);
    e->setGeometry(x, rowY[row], w, 26);
    return e;
  };
  auto button = [this, panel, &rowY](const char* name, const char* caption, int row, int x, int w) {
    auto* b = new QPushButton(QString::fromUtf8(caption), panel);
    bind(name, b);
    b->setGeometry(x, rowY[row], w, 26);
    return b;
  };

  // Row 1: base date, day steps, manual price, price collection.
  label("Label1", "基準日", 0, 4, 38, true);
  edit("Edit2", 0, 44, 78);
  button("Button25", "過去日", 0, 124, 44);
  button("Button61", "次日", 0, 170, 36);
  button("Button62", "前日", 0, 208, 36);
  edit("Edit10", 0, 246, 24)->setAlignment(Qt::AlignRight);
  label("Label4", "追加株価", 0, 274, 50, false);
  edit("Edit6", 0, 326, 52)->setAlignment(Qt::AlignRight);
  button("Button34", "追加", 0, 380, 36);
  button("Button35", "戻る", 0, 418, 36);
  button("BitBtn1", "株価収集", 0, 458, 78);
  // Row 2: stock code, memo, width, lower lines, direction, print.
  label("Label2", "銘柄コ-ド", 1, 4, 56, false);
  edit("Edit1", 1, 62, 56);
  button("Button58", "メモ", 1, 122, 40);
  button("Button118", "巾", 1, 164, 28);
  button("Button81", "S", 1, 194, 40);
  button("Button13", "S2", 1, 236, 40);
  button("Button47", "入買", 1, 278, 40);
  button("Button59", "印刷", 1, 320, 40);
  // Row 3: stock button, terms, rules, minimum ratio, usage.
  label("Label3", "銘柄選択", 2, 4, 50, false);
  button("Button17", "銘柄ボタン", 2, 56, 74);
  button("Button2", "長期", 2, 132, 38);
  button("DrawChart", "中期", 2, 172, 38);
  button("Button4", "短期", 2, 212, 38);
  label("Label5", "利率条件/利用", 2, 256, 86, true);
  button("Button37", "S1", 2, 344, 30);
  button("Button38", "S2", 2, 376, 30);
  button("Button39", "S3", 2, 408, 30);
  edit("MaskEdit1", 2, 440, 36)->setAlignment(Qt::AlignRight);
  button("Button88", "利用説明", 2, 478, 58);

  // Rule panel at the right end, over rows 1 and 2 while shown; it reaches
  // left to "印刷" so that "一括検証" has room, and leaves "入買" free.
  auto* p11 = new QFrame(panel);
  bind("Panel11", p11);
  p11->setFrameShape(QFrame::Panel);
  p11->setFrameShadow(QFrame::Raised);
  Fill(p11, QColor(0xDC, 0xE6, 0xF0));
  p11->setGeometry(320, 2, 217, 66);
  auto rb = [this, p11](const char* name, const char* caption, int x, int y, int w) {
    auto* b = new QPushButton(QString::fromUtf8(caption), p11);
    bind(name, b);
    b->setGeometry(x, y, w, 26);
    return b;
  };
  rb("Button73", "G3", 4, 4, 40);
  rb("Button74", "G4", 46, 4, 40);
  rb("Button75", "G5", 88, 4, 40);
  rb("Button76", "G6", 130, 4, 40);
  rb("Button77", "G7", 172, 4, 40);
  rb("Button1", "乖離", 4, 34, 36);
  rb("Button83", "ST", 42, 34, 30);
  rb("Button79", "長", 74, 34, 30);
  rb("Button78", "説明", 106, 34, 36);
  // Window-only: not a control of the Form, so no handler sees it.
  QPushButton* scan = rb("ScanButton", "一括検証", 144, 34, 68);
  scan->setToolTip(QStringLiteral("全銘柄を全規則で検証し、年利率の順に並べます"));
  connect(scan, &QPushButton::clicked, this, [this] { openScan(); });
  p11->hide();
}

void MainWindow::placeOverlays() {
  if (!chartArea_) return;
  const int w = chartArea_->width(), h = chartArea_->height();
  chart_->setGeometry(0, 0, w, h);
  if (QWidget* e5 = widget("Edit5")) {
    const int ew = std::min(520, std::max(120, w - 200));
    e5->setGeometry((w - ew) / 2, 4, ew, 26);
    e5->raise();
  }
  // Memo panel: 24 px from the left, anchored to the lower edge as designed.
  if (QWidget* p7 = widget("Panel7")) {
    p7->setGeometry(24, std::max(0, h - (kChartHeight - 224)), 161, 263);
    p7->raise();
  }
  if (QWidget* cand = widget("StringGrid7")) {
    const int cw = std::min(620, w / 2), ch = std::min(280, h / 2);
    cand->setGeometry(w - cw - 4, h - ch - 4, cw, ch);
    cand->raise();
  }
  if (QWidget* p4 = widget("Panel4")) {
    p4->setGeometry(0, 0, w, h);
    p4->raise();
  }
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (!sized_ && height() > kChartHeight + kBottomHeight) {
    sized_ = true;
    const int stats = height() - kChartHeight - kBottomHeight - 2 * splitter_->handleWidth();
    splitter_->setSizes({kChartHeight, std::max(30, stats), kBottomHeight});
  }
}

void MainWindow::closeEvent(QCloseEvent* e) {
  // A handler waiting for a page is still on the stack: the window stays
  // until it has returned.
  if (ws_.busy()) {
    e->ignore();
    return;
  }
  e->accept();
  // Closing the main window ends the program, help window included.
  if (help_) help_->hide();
  QCoreApplication::quit();
}

void MainWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  placeOverlays();
}

void MainWindow::wireControls() {
  using K = ControlKind;
  for (const auto& [name, c] : ws_.form.all()) {
    QWidget* w = widget(name);
    if (!w) continue;
    const std::string n = name;
    if (c.kind == K::Button || c.kind == K::BitBtn) {
      if (auto* b = qobject_cast<QAbstractButton*>(w))
        connect(b, &QAbstractButton::clicked, this, [this, n] {
          Event ev;
          ev.kind = Event::Click;
          fire(n, ev);
        });
    } else if (c.kind == K::Label) {
      if (auto* l = qobject_cast<ClickLabel*>(w)) {
        connect(l, &ClickLabel::clicked, this, [this, n] {
          Event ev;
          ev.kind = Event::Click;
          fire(n, ev);
        });
        connect(l, &ClickLabel::doubleClicked, this, [this, n] {
          Event ev;
          ev.kind = Event::DblClick;
          fire(n, ev);
        });
      }
    } else if (c.kind == K::Edit || c.kind == K::MaskEdit) {
      if (auto* t = qobject_cast<TextBox*>(w)) {
        connect(t, &TextBox::keyPressed, this, [this, n](int code) {
          Event ev;
          ev.kind = Event::KeyPress;
          ev.key = code;
          fire(n, ev);
        });
        connect(t, &TextBox::doubleClicked, this, [this, n] {
          Event ev;
          ev.kind = Event::DblClick;
          fire(n, ev);
        });
        connect(t, &QLineEdit::textEdited, this, [this, n] { textEdited(n); });
      }
    } else if (c.kind == K::Memo) {
      if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        connect(m, &QPlainTextEdit::textChanged, this, [this, n] { syncText(n); });
    }
  }
  for (const char* g : {"StringGrid5", "StringGrid7"}) {
    const std::string n = g;
    connect(grid(n), &GridView::released, this, [this, n](int col, int row) {
      Event ev;
      ev.kind = Event::MouseUp;
      ev.col = col;
      ev.row = row;
      fire(n, ev);
    });
  }
  chart_->onPress = [this](const ChartHits& hits) {
    Event ev;
    ev.kind = Event::MouseDown;
    ev.hits = hits;
    fire("chart1", ev);
  };
  // Arrow keys on the chart: left one day back ("前日"), right one day on ("次日").
  chart_->onStep = [this](bool back) { click(back ? "Button62" : "Button61"); };
}

void MainWindow::click(const std::string& control) {
  Event ev;
  ev.kind = Event::Click;
  fire(control, ev);
}

ScanWindow* MainWindow::openScan() {
  if (!scan_) {
    ScanSource source;
    source.stockList = [this] { return ws_.StockList; };
    source.entryBuy = [this] { return ws_.SeriesTable.cell(ctl::EntryDirection) == "1"; };
    source.pick = [this](const ScanRow& row, bool shortTerm) { pickStockRule(row.code, row.tag, shortTerm); };
    scan_ = new ScanWindow(std::move(source), this);
    scan_->messageHook = platform_.messageHook;
  }
  scan_->show();
  scan_->raise();
  scan_->activateWindow();
  return scan_;
}

void MainWindow::pickStockRule(const std::string& code, int tag, bool shortTerm) {
  const RuleDef* rule = Rules::RuleOfTag(tag);
  // Not while a handler waits for a page: its chain is still on the stack.
  if (!rule || ws_.busy()) return;
  const int errors = platform_.errors;
  typeInto("Edit1", code);
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  fire("Edit1", enter);
  // Not found: the selection emptied the box and said so.
  if (platform_.errors != errors || ws_.form.text("Edit1") != code) return;
  // The selection leaves the long-term set; the term button is pressed until
  // it reads "短" (twice after a selection, whose long pass set term mode "1").
  for (int i = 0; shortTerm && tag >= 3 && i < 2 && ws_.form.text("Button79") != "短"; ++i) {
    click("Button79");
    if (platform_.errors != errors) return;
  }
  click(rule->button);
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
  // Suggested name: the code and the rule of the list, in the data folder.
  std::string name = ws_.form.text("Edit1");
  const std::string rule = ws_.StatsTable.cell(ctl::Condition);
  if (!IsBlank(rule)) name += "_" + rule;
  const QString start = QDir(QString::fromStdString(HomeDir())).filePath(QString::fromStdString(name) + ".csv");
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("CSV保存"), start,
                                              QStringLiteral("CSV ファイル (*.csv)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) path += QStringLiteral(".csv");
  saveStatsCsv(path);
}

void MainWindow::chooseChartImage() {
  const QString png = QStringLiteral("PNG 画像 (*.png)"), pdf = QStringLiteral("PDF 文書 (*.pdf)");
  QString filter = png;
  const QString start =
      QDir(QString::fromStdString(HomeDir())).filePath(QString::fromStdString(ws_.form.text("Edit1")) + ".png");
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("画像保存"), start, png + ";;" + pdf, &filter);
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) &&
      !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
    path += filter == pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
  saveChartImage(path);
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
  for (const char* b : {"TForm4.Button1", "TForm4.Button2"}) {
    const std::string n = b;
    connect(static_cast<QPushButton*>(widget(n)), &QPushButton::clicked, this, [this, n] {
      Event ev;
      ev.kind = Event::Click;
      fire(n, ev);
    });
  }
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
  Event ev;
  ev.kind = Event::Change;
  fire(name, ev);
}

void MainWindow::typeInto(const std::string& control, const std::string& text) {
  auto* e = qobject_cast<QLineEdit*>(widget(control));
  if (!e) return;
  e->setText(QString::fromStdString(text));
  textEdited(control);
}

void MainWindow::fire(const std::string& control, const Event& ev) {
  // A text box's own event reads the text as it stands in the box.
  if (ws_.form.has(control)) {
    const ControlKind k = ws_.form.get(control).kind;
    if (k == ControlKind::Edit || k == ControlKind::MaskEdit || k == ControlKind::Memo) syncText(control);
  }
  if (dispatchHook) dispatchHook(control, ev);
  const bool wait = ev.kind != Event::Change;
  if (wait) platform_.beginWait();
  ws_.dispatch(control, ev);
  if (wait) platform_.endWait();
  mirror();
}

void MainWindow::mirror() {
  mirrorForm();
  for (auto& [name, m] : models_) m->refresh();
  chart_->refresh();
  if (scan_) scan_->refreshDirection();
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
      if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        const QString t = Caption(c.text);
        if (b->text() != t) b->setText(t);
      }
      break;
    case K::Label:
      if (auto* l = qobject_cast<QLabel*>(w)) {
        const QString t = ToQt(c.text);
        if (l->text() != t) l->setText(t);
      }
      break;
    case K::Edit:
    case K::MaskEdit:
      if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (c.numberOnly && !e->validator())
          e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
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
        const QString t = Shown(c.text);
        if (e->text() != t) e->setText(t);
      }
      break;
    case K::Memo:
      if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        const QString t = MemoToQt(c.text);
        if (m->toPlainText() != t) m->setPlainText(t);
      }
      break;
    case K::StatusBar:
      if (auto* s = qobject_cast<QStatusBar*>(w)) {
        const QString t = Shown(c.text);
        if (s->currentMessage() != t) s->showMessage(t);
      }
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

void MainWindow::showAsAsked() {
  const int w = askedWidth_ > 0 ? askedWidth_ : 897;
  const int h = askedHeight_ > 0 ? askedHeight_ : 713;
  QRect avail(0, 0, w, h);
  if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) avail = s->availableGeometry();
  resize(w, h);
  move(avail.center() - QPoint(w / 2, h / 2));
  const bool maximized = ws_.form.get("TForm1").maximized;
  if (maximized) {
    // Without a window manager a maximise request alone changes nothing.
    setGeometry(avail);
    showMaximized();
  } else {
    show();
  }
}

}  // namespace tavrine::gui
