#include "gui/print_preview.h"

#include <QGraphicsView>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>

namespace tavrine::gui {

std::function<void(QPrintPreviewDialog&)> printPreviewHook;

void PreviewPrint(QWidget* parent, QGraphicsView* view, const QString& docName) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(docName);
  printer.setPageOrientation(view->width() >= view->height() ? QPageLayout::Landscape
                                                             : QPageLayout::Portrait);
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("印刷プレビュー"));
  dialog.resize(900, 680);
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [view](QPrinter* p) {
    QPainter painter;
    if (!painter.begin(p)) return;
    // The whole view on one page, as it stands on the screen.
    view->render(&painter, QRectF(painter.viewport()), view->viewport()->rect(),
                 Qt::KeepAspectRatio);
    painter.end();
  });
  if (printPreviewHook) {
    auto hook = printPreviewHook;
    QTimer::singleShot(0, &dialog, [&dialog, hook] { hook(dialog); });
  }
  dialog.exec();
}

}  // namespace tavrine::gui
