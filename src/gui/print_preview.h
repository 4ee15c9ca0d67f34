// 印刷 as a desktop program does it: the page shown first in the print
// dialog's preview, printed from there on the printer chosen in it.
#pragma once

#include <QString>
#include <functional>

QT_BEGIN_NAMESPACE
class QGraphicsView;
class QPrintPreviewDialog;
class QWidget;
QT_END_NAMESPACE

namespace tavrine::gui {

// Shows the preview of `view` on one page in its on-screen proportions,
// landscape for a wide view. Returns once the dialog is closed.
void PreviewPrint(QWidget* parent, QGraphicsView* view, const QString& docName);

// Called with the dialog once it is open, instead of waiting on the user
// (tests look at it and close it).
extern std::function<void(QPrintPreviewDialog&)> printPreviewHook;

}  // namespace tavrine::gui
