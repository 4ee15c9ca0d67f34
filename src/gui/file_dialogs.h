// The window's file dialogs: where they open, and the extension a saved file
// gets when the user leaves it off.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include <QSize>

QT_BEGIN_NAMESPACE
class QFileDialog;
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

// The file dialogs' size as designed, and their list's column widths: the
// name column and each of the size, type and date columns.
inline constexpr QSize kFileDialogSize{900, 560};
inline constexpr int kFileNameColumn = 380;
inline constexpr int kFileColumn = 130;
// Gives a file dialog the room its columns need, inside the screen and
// centred over parent.
void FitDialog(QFileDialog& d, const QWidget* parent);

// One kind of file a save dialog offers: its filter and its extension.
struct FileKind {
  QString filter;  // "PNG 画像 (*.png)"
  QString ext;     // ".png"
};

// The questions a save asks the user. The window uses Qt's dialogs; tests
// put their own answers in (SetSaveQuestions).
struct SaveQuestions {
  // The file dialog: the path the user accepted ("" when cancelled), its kind
  // in *chosenFilter. `proposed` is the full path it opens with; the dialog
  // itself asks nothing about existing files.
  std::function<QString(QWidget* parent, const QString& title, const QString& proposed,
                        const QStringList& filters, QString* chosenFilter)>
      pickFile;
  // True when the user agrees to replace the existing file.
  std::function<bool(QWidget* parent, const QString& title, const QString& path)> confirmReplace;
  // Tells the user why the file cannot be written.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> refuse;
};
// Replaces the questions (an empty member keeps Qt's); returns the previous.
SaveQuestions SetSaveQuestions(const SaveQuestions& q);

// Asks for a file to save, proposing `name` in DialogFolder(). The answer
// ends in the extension of the chosen kind (added when the user left any of
// the kinds' extensions off). The extension is added before the question
// whether to replace an existing file, so a name typed with and without it
// are asked alike; "no" opens the dialog again. The program's own data
// files (the stock list, memo.txt, ...) are refused with a message and the
// dialog opens again. Empty when the user cancelled.
QString AskSavePath(QWidget* parent, const QString& title, const QString& name,
                    const QList<FileKind>& kinds);
// The path a dialog's answer comes to: the answer, or the answer with the
// extension of the chosen kind when it ends in none of the kinds'.
QString WithKindExtension(const QString& answer, const QString& chosenFilter,
                          const QList<FileKind>& kinds);
// The refusal for a path that must not be written by an export, or "".
QString ExportRefusal(const QString& path);
// Asks for files to open, starting in DialogFolder(). Empty when cancelled.
QStringList AskOpenPaths(QWidget* parent, const QString& title, const QString& filter);

}  // namespace tavrine::gui
