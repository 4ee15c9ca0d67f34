// The main window's own ways of changing the stock list: "取込" (the button,
// files dropped on the window, files handed over by a later start),
// "一括更新" and its settings, "元に戻す", and the picker's rename and remove.
// None is a control of the Form: each runs as one of the list's jobs.
#include <QDropEvent>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <memory>

#include "app/list_actions.h"
#include "gui/add_stock_ui.h"
#include "gui/grid_model.h"
#include "gui/handover.h"
#include "gui/import_ui.h"
#include "gui/list_jobs.h"
#include "gui/main_window.h"
#include "gui/update_ui.h"
#include "gui/widgets.h"

namespace tavrine::gui {

void MainWindow::wireListButtons() {
  // The import of price files (also on Ctrl+I), the list as it was before
  // its last change, 一括更新 from the J-Quants API, 銘柄追加, and the
  // update's key and plan.
  const struct {
    const char* name;
    const char* caption;
    void (MainWindow::*run)();
  } buttons[] = {{"ImportButton", "取込", &MainWindow::chooseImport},
                 {"UndoButton", "元に戻す", &MainWindow::chooseUndo},
                 {"UpdateButton", "一括更新", &MainWindow::chooseUpdate},
                 {"AddStockButton", "銘柄追加", &MainWindow::chooseAddStock},
                 {"UpdateSettingsButton", "更新設定...", &MainWindow::chooseUpdateSettings}};
  for (const auto& b : buttons) {
    auto* button = static_cast<QPushButton*>(widget(b.name));
    button->setText(QString::fromUtf8(b.caption));
    connect(button, &QPushButton::clicked, this, [this, run = b.run] { (this->*run)(); });
  }
}

void MainWindow::chooseUpdateSettings() { updater_->editSettings(); }

void MainWindow::wirePickerMenu(GridView* picker) {
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
}

void MainWindow::chooseImport() {
  const QStringList paths = importer_->askPaths();
  if (!paths.isEmpty()) importFiles(paths);
}

void MainWindow::chooseUpdate() {
  jobs_->run(QStringLiteral("一括更新"), [this] { updater_->choose(); });
}

void MainWindow::chooseAddStock() {
  jobs_->run(QStringLiteral("銘柄追加"), [this] { adder_->choose(); });
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
