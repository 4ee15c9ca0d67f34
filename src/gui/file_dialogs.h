// The window's file dialogs: where they open, and the extension a saved file
// gets when the user leaves it off.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

namespace tavrine::gui {

// Where a file dialog opens: the folder of the file last chosen in one while
// it still exists; else the data folder, unless that is the hidden data
// folder of an installed program, where the user's documents folder serves.
QString DialogFolder(const QString& remembered, const QString& dataFolder, bool dataFolderHidden,
                     const QString& documents);
// The same for this run: the remembered folder from the settings, the
// program's data folder and the user's documents folder.
QString DialogFolder();
// Keeps the folder of a chosen file for the next dialog.
void RememberDialogFolder(const QString& file);

// One kind of file a save dialog offers: its filter and its extension.
struct FileKind {
  QString filter;  // "PNG 画像 (*.png)"
  QString ext;     // ".png"
};

// Asks for a file to save, proposing `name` in DialogFolder(). The answer
// ends in the extension of the chosen kind (added when the user left any of
// the kinds' extensions off). Empty when the user cancelled.
QString AskSavePath(QWidget* parent, const QString& title, const QString& name,
                    const QList<FileKind>& kinds);
// Asks for files to open, starting in DialogFolder(). Empty when cancelled.
QStringList AskOpenPaths(QWidget* parent, const QString& title, const QString& filter);

}  // namespace tavrine::gui
