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
#include <memory>
#include <string>
#include <vector>

#include "app/import.h"
#include "app/workspace.h"
#include "gui/qt_platform.h"
#include "gui/style.h"
#include "list/price_file.h"
#include "store/platform.h"
#include "store/text.h"

namespace tavrine::gui {

namespace {

constexpr const char* kFileFilter = "CSV ファイル (*.csv *.txt);;すべてのファイル (*)";

// The guidance panel: its width, margins and the button's size.
constexpr int kGuideWidth = 460;
constexpr int kGuideMargin = 22;
constexpr int kGuideSpacing = 16;
constexpr QSize kGuideButton{120, 30};
constexpr QColor kGuideFace{0xFA, 0xFA, 0xF6};

}  // namespace

QString PriceFileImport::ask(const QString& fileName) {
  if (askCode) return askCode(fileName);
  bool ok = false;
  const QString code = QInputDialog::getText(
      parent_, QStringLiteral("取込"),
      QStringLiteral(
          "%1\n銘柄コード(4桁)と、空白に続けて銘柄名を入力して下さい (銘柄名は省略できます):")
          .arg(fileName),
      QLineEdit::Normal, QString(), &ok);
  return ok ? code.trimmed() : QString();
}

QStringList PriceFileImport::askPaths() {
  return AskOpenPaths(parent_, QStringLiteral("株価ファイルの取込"),
                      QString::fromUtf8(kFileFilter));
}

bool PriceFileImport::run(const QStringList& paths) {
  if (ws_.busy()) {
    // The engine puts its note on the status line and reads nothing.
    ImportPriceFiles(ws_, {});
    return false;
  }
  if (paths.isEmpty()) return false;

  std::vector<ImportFile> files;
  for (const QString& path : paths) files.push_back({path.toStdString(), {}, {}});

  // The engine asks for a code when a file names none, and reports before
  // each file, so that the bar moves and a cancel leaves the list as it was.
  ImportHooks hooks;
  hooks.askCode = [this](const std::string& shown) {
    return ask(QString::fromStdString(shown)).toStdString();
  };
  std::unique_ptr<QProgressDialog> bar;
  if (static_cast<int>(files.size()) > kImportAtOnce) {
    bar = std::make_unique<QProgressDialog>(QStringLiteral("取込中..."), QStringLiteral("中止"), 0,
                                            static_cast<int>(files.size()), parent_);
    bar->setWindowTitle(QStringLiteral("取込"));
    bar->setWindowModality(Qt::WindowModal);
    bar->setMinimumDuration(0);
    hooks.progress = [&bar](int done, int, const std::string& shown) {
      bar->setValue(done);
      if (!shown.empty())
        bar->setLabelText(QStringLiteral("取込中... %1").arg(QString::fromStdString(shown)));
      QCoreApplication::processEvents();
      return !bar->wasCanceled();
    };
  }
  const ImportSummary total = ImportPriceFiles(ws_, files, hooks, false);
  bar.reset();
  if (total.imported())
    SaySuccess(ws_.platform, total.Text());
  else
    ws_.platform.error(total.Text());

  changed_();
  if (total.lastCode.empty()) return false;
  // The stock taken last becomes current as if its code had been typed.
  select_(total.lastCode);
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
