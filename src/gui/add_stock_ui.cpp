#include "gui/add_stock_ui.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QProgressDialog>
#include <QStringList>
#include <algorithm>

#include "app/workspace.h"
#include "gui/update_ui.h"
#include "web/jquants_client.h"

namespace tavrine::gui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QString MasterStockText(const MasterStock& m) {
  QString t = Q(m.code);
  if (!m.name.empty()) t += QLatin1Char(' ') + Q(m.name);
  if (!m.market.empty()) t += QStringLiteral(" (") + Q(m.market) + QLatin1Char(')');
  return t;
}

void StockAdd::choose() {
  if (ws_.busy()) {
    run(QString());
    return;
  }
  bool ok = true;
  const QString query =
      askQuery ? askQuery()
               : QInputDialog::getText(parent_, QStringLiteral("銘柄追加"),
                                       QStringLiteral("J-Quants API から追加する銘柄の\n"
                                                      "銘柄コード (7203) か銘柄名の一部:"),
                                       QLineEdit::Normal, QString(), &ok);
  if (!ok || query.trimmed().isEmpty()) return;
  if (LoadJQuantsSettings().key.empty() && !keys_.editSettings()) return;
  run(query);
}

AddSummary StockAdd::run(const QString& query) {
  RunBar bar(parent_, ws_, QStringLiteral("AddStockProgress"), QStringLiteral("銘柄追加"),
             QStringLiteral("銘柄追加: 銘柄一覧を問い合わせています"), 2, &AddProgressText,
             onProgress);
  AddHooks hooks;
  hooks.progress = bar.hook();
  hooks.choose = [this](const std::vector<MasterStock>& found) {
    if (askChoice) return askChoice(found);
    QStringList items;
    for (const MasterStock& m : found) items << MasterStockText(m);
    bool ok = false;
    const QString item = QInputDialog::getItem(
        parent_, QStringLiteral("銘柄追加"),
        QStringLiteral("当たる銘柄が %1 あります。追加する銘柄:").arg(found.size()), items, 0,
        false, &ok);
    return ok ? static_cast<int>(items.indexOf(item)) : -1;
  };
  const AddSummary s = AddStock(ws_, query.toStdString(), hooks, false);
  bar.close();

  // The window shows the list as it now is before anything is said about it.
  changed_();
  if (s.busy) return s;
  ReportOutcome(ws_.platform, s.failure.empty() ? std::string() : s.Message(), s.Message(),
                s.errors);
  return s;
}

}  // namespace tavrine::gui
