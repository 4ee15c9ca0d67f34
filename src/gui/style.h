// The look the windows share: one font family in pixel sizes, plain
// background fills and the faces of the panels.
#pragma once

#include <QColor>
#include <QFont>
#include <initializer_list>

class QAbstractItemModel;
class QCoreApplication;
class QTableView;

QT_BEGIN_NAMESPACE
class QLabel;
class QVBoxLayout;
class QWidget;
QT_END_NAMESPACE

namespace tavrine::gui {

inline constexpr const char* kFontFamily = "Noto Sans CJK JP";

// Qt's own texts (file dialogs, message-box buttons, context menus) in
// Japanese, as every text of the windows is, whatever the system's locale:
// qtbase's Japanese translation from Qt's translations folder. False when
// it is not installed (the texts stay in English).
bool LoadQtTranslations(QCoreApplication& app);

// How much larger than designed the screen's text is: its logical dots per
// inch over 96, at least 1.
double FontScale();
// A designed size in pixels at the screen's text scale.
int Scaled(int px);
// The windows' font at a designed size in pixels, scaled with the screen's
// logical DPI, so text keeps its size on a common screen and follows a
// screen set larger.
QFont PixelFont(int px, bool bold = false);
// Paints a widget's background in one colour.
void Fill(QWidget* w, const QColor& c);

// The heading strip at the top of a window of its own (scan, backtest view):
// white bold title on the heading face, added to the window's layout. Returns
// the title label.
QLabel* AddHeadingStrip(QWidget* window, QVBoxLayout* layout, const QString& title);

// A step of 1, 2 or 5 times a power of ten, at least the wanted one (1 for
// a step that is not a positive number): the grid steps of the charts.
double NiceStep(double raw);

// A read-only list of rows (the scan, today's signals): whole rows chosen
// one at a time, alternating colours, 20-pixel rows, the given column widths
// with one column taking the spare room, sorted by clicking a heading.
QTableView* MakeRowList(QWidget* parent, const QString& objectName, QAbstractItemModel* model,
                        std::initializer_list<int> widths, int stretchColumn);

// Panel faces.
inline constexpr QColor kControlFace{0xEC, 0xEC, 0xE8};  // control panel, save strip, scan controls
inline constexpr QColor kMemoFace{0xD8, 0xD8, 0xD4};     // memo panel
inline constexpr QColor kPickerFace{0xF4, 0xF4, 0xF0};   // stock picker, splash window
inline constexpr QColor kHeadingFace{0x00, 0x40, 0x80};  // picker and scan headings, splash title
inline constexpr QColor kCollectionFace{0xE4, 0xEC, 0xF4};  // collection panel
inline constexpr QColor kRulePanelFace{0xDC, 0xE6, 0xF0};   // rule panel
inline constexpr QColor kHelpTextFace{0xE8, 0xE8, 0xE8};    // help window's text face

}  // namespace tavrine::gui
