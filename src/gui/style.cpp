#include "gui/style.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QPalette>
#include <QScreen>
#include <QTableView>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tavrine::gui {

bool LoadQtTranslations(QCoreApplication& app) {
  auto* qt = new QTranslator(&app);
  if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  QCoreApplication::installTranslator(qt);
  return true;
}

double FontScale() {
  // A screen set to more than 96 dots per inch (a large monitor at 125 %,
  // 150 %) gets text as much larger; never smaller than designed.
  const QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return 1.0;
  return std::clamp(s->logicalDotsPerInch() / 96.0, 1.0, 3.0);
}

int Scaled(int px) { return static_cast<int>(std::lround(px * FontScale())); }

QFont PixelFont(int px, bool bold) {
  QFont f(QString::fromLatin1(kFontFamily));
  f.setPixelSize(Scaled(px));
  f.setBold(bold);
  return f;
}

void Fill(QWidget* w, const QColor& c) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
}

QLabel* AddHeadingStrip(QWidget* window, QVBoxLayout* layout, const QString& title) {
  auto* head = new QWidget(window);
  Fill(head, kHeadingFace);
  head->setFixedHeight(34);
  auto* row = new QHBoxLayout(head);
  row->setContentsMargins(10, 4, 10, 4);
  auto* label = new QLabel(title, head);
  label->setFont(PixelFont(15, true));
  label->setStyleSheet(QStringLiteral("color: white;"));
  row->addWidget(label);
  row->addStretch(1);
  layout->addWidget(head);
  return label;
}

double NiceStep(double raw) {
  if (!(raw > 0) || !std::isfinite(raw)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  const double m = raw / p;
  return (m <= 1 ? 1 : m <= 2 ? 2 : m <= 5 ? 5 : 10) * p;
}

QTableView* MakeRowList(QWidget* parent, const QString& objectName, QAbstractItemModel* model,
                        std::initializer_list<int> widths, int stretchColumn) {
  auto* t = new QTableView(parent);
  t->setObjectName(objectName);
  t->setModel(model);
  t->setFont(PixelFont(12));
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setAlternatingRowColors(true);
  t->setWordWrap(false);
  t->verticalHeader()->setDefaultSectionSize(20);
  t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  t->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  t->horizontalHeader()->setHighlightSections(false);
  int c = 0;
  for (int w : widths) t->setColumnWidth(c++, w);
  t->horizontalHeader()->setSectionResizeMode(stretchColumn, QHeaderView::Stretch);
  return t;
}

}  // namespace tavrine::gui
