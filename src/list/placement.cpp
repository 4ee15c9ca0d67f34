#include "list/placement.h"

#include <vector>

#include "list/settings_file.h"
#include "store/codec.h"
#include "store/paths.h"
#include "store/stock_list.h"
#include "store/text.h"

namespace tavrine {

std::string ListFullMessage() {
  if (FileExists(RootPath("listwerk/listwerk.exe")))
    return "登録銘柄数が制限を超えています。\rlistwerk.exeで不要銘柄を削除して下さい。";
  return "登録銘柄数が制限を超えています。\r銘柄ボタンを右クリックし「デ-タ一覧から削除」で"
         "不要銘柄を削除して下さい。";
}

namespace {

void EmptyColumn(WorkTable& t, int c) {
  for (int r = 0; r <= stocklist::kLastDayRow; ++r) t.set(c, r, "");
}

// Three digits and a capital letter: ranked just after the same digits
// followed by 9, before the next number.
bool RankOfLetterCode(std::string_view code, long double& rank) {
  if (code.size() != 4 || code[3] < 'A' || code[3] > 'Z') return false;
  for (int i = 0; i < 3; ++i)
    if (code[i] < '0' || code[i] > '9') return false;
  const int digits = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  rank = digits * 10 + 9 + (code[3] - 'A' + 1) / 32.0L;
  return true;
}

// Where the code being placed sorts: a whole number (or a letter code).
long double RankOfCode(const std::string& code) {
  long double rank;
  if (RankOfLetterCode(code, rank)) return rank;
  return StrToInt(code);
}

// Where a stock heading sorts: the number its first four characters read as.
long double RankOfHeading(const std::string& heading) {
  const std::string cut = LeftBytes(heading, 4);
  long double rank;
  if (RankOfLetterCode(cut, rank)) return rank;
  return StrToFloat(cut);
}

}  // namespace

bool HoldsAStock(const WorkTable& list) {
  if (list.rowCount() < 2) return false;
  for (int c = stocklist::kFirstStockColumn; c <= stocklist::kLastStockColumn; ++c)
    if (!IsBlankWide(list.cell(c, 0))) return true;
  return false;
}

int LastStockColumn(const WorkTable& list) {
  int last = 0;
  for (int c = 1; c <= kLastStockColumn; ++c)
    if (!IsBlankWide(list.cell(c, 0))) last = c;
  return last;
}

std::string CodeText(const WorkTable& list, int last) {
  std::string text;
  for (int j = 1; j <= last; ++j) text += "\r\n" + LeftBytes(list.cell(j, 0), 4);
  return text;
}

void PlaceStockColumn(WorkTable& list, const std::string& k, std::span<const std::string> cells) {
  auto copyCells = [&](int c) {
    for (std::size_t r = 0; r < cells.size(); ++r) list.set(c, static_cast<int>(r), cells[r]);
  };
  const int L = LastStockColumn(list);

  // Update the column of the same code.
  for (int j = 1; j <= L; ++j)
    if (LeftBytes(list.cell(j, 0), 4) == k) {
      EmptyColumn(list, j);
      copyCells(j);
    }

  // A code below the first stock's code goes in front: the scan below only
  // finds places between two stocks, and the stock would otherwise be
  // dropped while the list is saved as if it had been added.
  if (L >= 1 && RankOfCode(k) < RankOfHeading(list.cell(1, 0))) {
    for (int c = L; c >= 1; --c)
      for (int r = 0; r <= stocklist::kLastDayRow; ++r) list.set(c + 1, r, list.cell(c, r));
    EmptyColumn(list, 1);
    copyCells(1);
  }

  // Insert in code order.
  if (L >= 2) {
    for (int j = 1; j <= L - 1; ++j) {
      const long double a = RankOfHeading(list.cell(j, 0));
      if (a < RankOfCode(k)) {
        const long double b = RankOfHeading(list.cell(j + 1, 0));
        if (RankOfCode(k) < b) {
          for (int c = L; c >= j + 1; --c)
            for (int r = 0; r <= stocklist::kLastDayRow; ++r) list.set(c + 1, r, list.cell(c, r));
          EmptyColumn(list, j + 1);
          copyCells(j + 1);
        }
      }
    }
  }

  // Append after the last stock. An empty list takes the stock as its first
  // column (the date heading is not a code).
  if (L == 0) {
    EmptyColumn(list, 1);
    copyCells(1);
  } else if (RankOfHeading(list.cell(L, 0)) < RankOfCode(k)) {
    copyCells(L + 1);
  }

  list.setColCount(L + 2);
}

void CheckStockCodes(const WorkTable& list, const std::string& code) {
  // The placement compares the code with every heading up to the last
  // stock's as soon as the list holds one.
  const int L = LastStockColumn(list);
  if (L == 0) return;
  RankOfCode(code);
  for (int j = 1; j <= L; ++j) RankOfHeading(list.cell(j, 0));
}

bool ImportMaintainsList() { return ReadSetting("list", "maintainer") == "import"; }

void RecordImportMaintainer() {
  if (ImportMaintainsList()) return;
  WriteSettings("list", {{"maintainer", "import"}});
}

}  // namespace tavrine
