#include "gui/import_ui.h"
#include "gui/file_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "app/import.h"
#include "app/workspace.h"
#include "gui/main_window.h"
#include "gui/style.h"
#include "store/stock_list.h"
#include "store/text.h"
#include "web/price_file.h"

namespace tavrine::gui {

namespace {

constexpr const char* kFileFilter = "CSV ファイル (*.csv *.txt);;すべてのファイル (*)";

// The guidance panel: its width, margins and the button's size.
constexpr int kGuideWidth = 460;
constexpr int kGuideMargin = 22;
constexpr int kGuideSpacing = 16;
constexpr QSize kGuideButton{120, 30};
constexpr QColor kGuideFace{0xFA, 0xFA, 0xF6};

// True when the file reads but names no code by its file name or title
// line. A file that does not read is not asked about: the import refuses it
// with its message.
bool NamesNoCode(const QString& path) {
  try {
    return ReadPriceFile(path.toStdString()).code.empty();
  } catch (const std::exception&) {
    return false;
  }
}

void Add(ImportSummary& total, const ImportSummary& s) {
  total.added += s.added;
  total.updated += s.updated;
  total.filled += s.filled;
  total.leftOut += s.leftOut;
  total.dropped += s.dropped;
  total.refused.insert(total.refused.end(), s.refused.begin(), s.refused.end());
  total.errors.insert(total.errors.end(), s.errors.begin(), s.errors.end());
  if (!s.lastCode.empty()) total.lastCode = s.lastCode;
}

}  // namespace

QString PriceFileImport::ask(const QString& fileName) {
  if (askCode) return askCode(fileName);
  bool ok = false;
  const QString code =
      QInputDialog::getText(&win_, QStringLiteral("取込"),
                            QStringLiteral("銘柄コード(4桁)を入力して下さい: %1").arg(fileName),
                            QLineEdit::Normal, QString(), &ok);
  return ok ? code.trimmed() : QString();
}

void PriceFileImport::choose() {
  if (win_.workspace().busy()) {
    run({});  // says why nothing happens
    return;
  }
  const QStringList paths =
      AskOpenPaths(&win_, QStringLiteral("株価ファイルの取込"), QString::fromUtf8(kFileFilter));
  if (!paths.isEmpty()) run(paths);
}

bool PriceFileImport::run(const QStringList& paths) {
  Workspace& ws = win_.workspace();
  QtPlatform& platform = win_.platform();
  if (ws.busy()) {
    // The engine puts its note on the status line and reads nothing.
    ImportPriceFiles(ws, {});
    return false;
  }

  // A file that names no code takes one from the user first, so that the
  // files then go in without a question between them.
  std::vector<ImportFile> files;
  for (const QString& path : paths) {
    ImportFile f{path.toStdString(), {}, {}};
    if (NamesNoCode(path)) {
      const QString code = ask(QFileInfo(path).fileName());
      if (code.isEmpty()) continue;
      f.code = code.toStdString();
    }
    files.push_back(std::move(f));
  }
  if (files.empty()) return false;

  // The engine reports each call; those reports are gathered into one box.
  ImportSummary total;
  std::vector<std::string> problems;
  auto hook = std::move(platform.messageHook);
  platform.messageHook = [&problems](const std::string& text, bool isError) {
    if (isError) problems.push_back(text);
  };
  if (static_cast<int>(files.size()) <= kImportAtOnce) {
    Add(total, ImportPriceFiles(ws, files));
  } else {
    QProgressDialog bar(QStringLiteral("取込中..."), QStringLiteral("中止"), 0,
                        static_cast<int>(files.size()), &win_);
    bar.setWindowTitle(QStringLiteral("取込"));
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(0);
    bar.setValue(0);
    for (std::size_t i = 0; i < files.size() && !bar.wasCanceled(); ++i) {
      bar.setLabelText(
          QStringLiteral("取込中... %1").arg(QString::fromStdString(ShownFileName(files[i].path))));
      QCoreApplication::processEvents();
      const ImportSummary s = ImportPriceFiles(ws, {files[i]});
      Add(total, s);
      bar.setValue(static_cast<int>(i) + 1);
      if (s.busy) break;
    }
  }
  platform.messageHook = std::move(hook);

  std::string text = total.Headline();
  for (const std::string& p : problems) text += "\r" + p;
  if (total.imported())
    platform.message(text);
  else
    platform.error(text);

  win_.mirror();
  if (total.lastCode.empty()) return false;
  // The stock taken last becomes current as if its code had been typed.
  win_.typeInto("Edit1", total.lastCode);
  Event enter;
  enter.kind = Event::KeyPress;
  enter.key = 13;
  win_.fire("Edit1", enter);
  win_.mirror();
  return true;
}

bool NothingToChart(const Workspace& ws) {
  if (!ws.chart.line(ChartModel::owarine).points.empty()) return false;
  const WorkTable& list = ws.StockList;
  if (list.rowCount() < 2) return true;
  for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn; ++c)
    if (!IsBlankWide(list.cell(c, 0))) return false;
  return true;
}

FirstStartPanel::FirstStartPanel(QWidget* parent, std::function<void()> onImport) : QFrame(parent) {
  setFrameShape(QFrame::StyledPanel);
  Fill(this, kGuideFace);
  setFixedWidth(kGuideWidth);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(kGuideMargin, kGuideMargin, kGuideMargin, kGuideMargin);
  v->setSpacing(kGuideSpacing);
  auto* title = new QLabel(QStringLiteral("株価データがまだありません"), this);
  title->setFont(PixelFont(16, true));
  title->setStyleSheet(QStringLiteral("color: #004080;"));
  auto* text = new QLabel(
      QStringLiteral("証券会社や株価サイトからダウンロードした日足のCSVファイルを取り込むと、"
                     "ここにチャートが表示されます。\n"
                     "ファイルはこの画面に落として取り込むこともできます (Ctrl+I)。"),
      this);
  text->setFont(PixelFont(13));
  text->setWordWrap(true);
  button_ = new QPushButton(QStringLiteral("取込..."), this);
  button_->setObjectName(QStringLiteral("ImportGuideButton"));
  button_->setFixedSize(kGuideButton);
  button_->setFont(PixelFont(13, true));
  button_->setToolTip(QStringLiteral("株価ファイル(CSV)を取り込みます (Ctrl+I)"));
  QObject::connect(button_, &QPushButton::clicked, this, [onImport] { onImport(); });
  v->addWidget(title);
  v->addWidget(text);
  v->addWidget(button_, 0, Qt::AlignHCenter);
  adjustSize();
}

}  // namespace tavrine::gui
