#include "gui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "store/paths.h"

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

QString AskSavePath(QWidget* parent, const QString& title, const QString& name,
                    const QList<FileKind>& kinds) {
  QStringList filters;
  for (const FileKind& k : kinds) filters << k.filter;
  QString chosen = filters.value(0);
  QString path = QFileDialog::getSaveFileName(parent, title, QDir(DialogFolder()).filePath(name),
                                              filters.join(QStringLiteral(";;")), &chosen);
  if (path.isEmpty()) return path;
  RememberDialogFolder(path);
  for (const FileKind& k : kinds)
    if (path.endsWith(k.ext, Qt::CaseInsensitive)) return path;
  for (const FileKind& k : kinds)
    if (k.filter == chosen) return path + k.ext;
  return kinds.isEmpty() ? path : path + kinds.front().ext;
}

QStringList AskOpenPaths(QWidget* parent, const QString& title, const QString& filter) {
  const QStringList paths = QFileDialog::getOpenFileNames(parent, title, DialogFolder(), filter);
  if (!paths.isEmpty()) RememberDialogFolder(paths.front());
  return paths;
}

}  // namespace tavrine::gui
