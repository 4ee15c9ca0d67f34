// What the stock-list update (a collected stock) and the price-file import
// share: where a stock's column goes, the code list of the collection tool,
// and the record that this program maintains its list.
#pragma once

#include <span>
#include <string>

#include "store/paths.h"
#include "store/stock_list.h"
#include "store/work_table.h"

namespace tavrine {

// code.txt of the list editor listwerk, under RootPath.
inline constexpr const char* kCodeListFile = "listwerk/kabuka/code.txt";
inline constexpr const char* kCodeListFolder = "listwerk/kabuka";
using stocklist::kLastStockColumn;
// What a full list says: where the list editor listwerk is installed, to
// remove stocks there; else with the program's own 削除 (the stock
// buttons' context menu).
std::string ListFullMessage();

// Highest column among 1..197 whose heading marks a stock, 0 when none.
int LastStockColumn(const WorkTable& list);

// A list holds a stock when it has a day row and a stock heading among the
// columns of the list proper.
bool HoldsAStock(const WorkTable& list);

// The code list: "\r\n" before each code of columns 1 .. last.
std::string CodeText(const WorkTable& list, int last);

// Puts one stock's column into the list: every column whose heading starts
// with code is rewritten in place; a code not there yet goes in code order
// (the stocks after it move one column right), in front of the first stock,
// or after the last. A column taken is emptied over rows 0 .. kLastDayRow and then
// gets cells[0 ..] (cells[0] the heading). The column count becomes L + 2, L
// the last stock column before. The caller checks the 197-column limit. A
// heading or code that is no stock code raises the conversion error (codes
// of three digits and a capital letter sort after the same digits with 9).
void PlaceStockColumn(WorkTable& list, const std::string& code, std::span<const std::string> cells);
// Raises the conversion error PlaceStockColumn would raise for this code,
// changing nothing.
void CheckStockCodes(const WorkTable& list, const std::string& code);

// True when HomePath("tavrine.ini") records, in its [list] section,
// maintainer=import: this program keeps its list by importing price files.
bool ImportMaintainsList();
// Writes that record, keeping the rest of the file. Throws FileError.
void RecordImportMaintainer();

}  // namespace tavrine
