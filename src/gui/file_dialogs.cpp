#include "gui/file_dialogs.h"

#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTreeView>

#include "gui/style.h"
#include "gui/widgets.h"
#include "store/paths.h"
#include "store/save_guard.h"

namespace tavrine::gui {

namespace {
constexpr const char* kFolderKey = "dialogs/folder";

QSettings Settings() { return QSettings(QStringLiteral("tavrine"), QStringLiteral("tavrine")); }
}  // namespace

QString DialogFolder(const QString& remembered, const QString& dataFolder, bool dataFolderHidden,
                     const QString& documents) {
  if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) return remembered;
  if (!dataFolderHidden) return dataFolder;
  return documents.isEmpty() ? QDir::homePath() : documents;
}

QString DialogFolder() {
  return DialogFolder(Settings().value(kFolderKey).toString(), QString::fromStdString(HomeDir()),
                      HomeIsUserData(),
                      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void RememberDialogFolder(const QString& file) {
  Settings().setValue(kFolderKey, QFileInfo(file).absolutePath());
}

namespace {

// The extension a filter such as "PNG 画像 (*.png)" names, without the dot.
QString FilterSuffix(const QString& filter) {
  const int star = filter.indexOf(QStringLiteral("*."));
  const int end = filter.indexOf(QLatin1Char(')'), star);
  return star < 0 || end < 0 ? QString() : filter.mid(star + 2, end - star - 2);
}

}  // namespace

void FitDialog(QFileDialog& d, const QWidget* parent) {
  // Room for the list's name, size, type and date columns side by side.
  d.setViewMode(QFileDialog::Detail);
  const QSize want(Scaled(kFileDialogSize.width()), Scaled(kFileDialogSize.height()));
  d.resize(want.expandedTo(d.sizeHint()));
  for (QTreeView* list : d.findChildren<QTreeView*>()) {
    QHeaderView* h = list->header();
    h->resizeSection(0, Scaled(kFileNameColumn));
    for (int c = 1; c < h->count(); ++c) h->resizeSection(c, Scaled(kFileColumn));
  }
  PlaceOnScreen(&d, parent, true);
}

namespace {

// A save dialog whose bare names get the extension of the kind shown when
// the user accepts, however the kind was chosen.
class SaveDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  void accept() override {
    setDefaultSuffix(FilterSuffix(selectedNameFilter()));
    QFileDialog::accept();
  }
};

QString QtPickFile(QWidget* parent, const QString& title, const QString& proposed,
                   const QStringList& filters, QString* chosenFilter) {
  SaveDialog d(parent, title, QFileInfo(proposed).absolutePath(),
               filters.join(QStringLiteral(";;")));
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setFileMode(QFileDialog::AnyFile);
  // The question about an existing file is asked once the extension is on.
  d.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!chosenFilter->isEmpty()) d.selectNameFilter(*chosenFilter);
  d.setDefaultSuffix(FilterSuffix(d.selectedNameFilter()));
  d.selectFile(QFileInfo(proposed).fileName());
  FitDialog(d, parent);
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  *chosenFilter = d.selectedNameFilter();
  return d.selectedFiles().front();
}

bool QtConfirmReplace(QWidget* parent, const QString& title, const QString& path) {
  QMessageBox box(
      QMessageBox::Question, title,
      QStringLiteral("%1 は既にあります。\n置き換えますか？").arg(QFileInfo(path).fileName()),
      QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(QStringLiteral("置き換える"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(QStringLiteral("置き換えない"), QMessageBox::NoRole);
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

void QtRefuse(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox::warning(parent, title, text);
}

SaveQuestions& Questions() {
  static SaveQuestions q{QtPickFile, QtConfirmReplace, QtRefuse};
  return q;
}

}  // namespace

SaveQuestions SetSaveQuestions(const SaveQuestions& q) {
  const SaveQuestions before = Questions();
  Questions() = SaveQuestions{q.pickFile ? q.pickFile : QtPickFile,
                              q.confirmReplace ? q.confirmReplace : QtConfirmReplace,
                              q.refuse ? q.refuse : QtRefuse};
  return before;
}

QString WithKindExtension(const QString& answer, const QString& chosenFilter,
                          const QList<FileKind>& kinds) {
  for (const FileKind& k : kinds)
    if (answer.endsWith(k.ext, Qt::CaseInsensitive)) return answer;
  for (const FileKind& k : kinds)
    if (k.filter == chosenFilter) return answer + k.ext;
  return kinds.isEmpty() ? answer : answer + kinds.front().ext;
}

QString ExportRefusal(const QString& path) {
  if (!IsProgramDataFile(path.toStdString())) return {};
  return QStringLiteral(
             "%1 はこのプログラムのデータファイルです。\n書き出しで上書きすると"
             "データが失われるため、保存できません。\n別の名前か別のフォルダを選んでください。")
      .arg(QFileInfo(path).fileName());
}

QString AskSavePath(QWidget* parent, const QString& title, const QString& name,
                    const QList<FileKind>& kinds) {
  QStringList filters;
  for (const FileKind& k : kinds) filters << k.filter;
  QString chosen = filters.value(0);
  QString proposed = QDir(DialogFolder()).filePath(name);
  const SaveQuestions q = Questions();
  for (;;) {
    const QString answer = q.pickFile(parent, title, proposed, filters, &chosen);
    if (answer.isEmpty()) return answer;
    const QString path = WithKindExtension(answer, chosen, kinds);
    proposed = path;
    if (const QString refusal = ExportRefusal(path); !refusal.isEmpty()) {
      q.refuse(parent, title, refusal);
      continue;
    }
    if (QFileInfo::exists(path) && !q.confirmReplace(parent, title, path)) continue;
    RememberDialogFolder(path);
    return path;
  }
}

QStringList AskOpenPaths(QWidget* parent, const QString& title, const QString& filter) {
  QFileDialog d(parent, title, DialogFolder(), filter);
  d.setAcceptMode(QFileDialog::AcceptOpen);
  d.setFileMode(QFileDialog::ExistingFiles);
  // The name box completes inline: a list of proposals dropped under it
  // would take the next click for itself, so a click on a file or on
  // "開く" right after typing a folder would do nothing.
  for (QLineEdit* box : d.findChildren<QLineEdit*>())
    if (QCompleter* c = box->completer()) c->setCompletionMode(QCompleter::InlineCompletion);
  FitDialog(d, parent);
  if (d.exec() != QDialog::Accepted) return {};
  const QStringList paths = d.selectedFiles();
  if (!paths.isEmpty()) RememberDialogFolder(paths.front());
  return paths;
}

}  // namespace tavrine::gui
