#include "chart/chart_view.h"

#include "app/workspace.h"

namespace tavrine {

void ChartView::DrawChartClick(const std::string& ) {}
void ChartView::Button8Click() {}
void ChartView::Button14Click() {}
void ChartView::Button15Click() {}
void ChartView::Button23Click() {}
void ChartView::Button118Click() {}

}  // namespace tavrine
