// Comma text: the line form of the stock-list file and of every list file the
// system reads (calendar, candidate and portfolio lists).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrine {

// Reads one line into fields. Leading characters 1..32 are skipped; a field
// starting with a double quote runs to its closing quote (a doubled quote is
// one quote; an unclosed quote takes the rest of the line); any other field
// runs to the next comma or character <= 32. An empty field becomes " ".
// At most maxFields fields are kept.
std::vector<std::string> ParseCommaText(std::string_view line, std::size_t maxFields = 200);

// Joins cells with ","; a cell holding a character <= 32, a double quote or a
// comma is quoted with inner quotes doubled.
std::string ToCommaText(const std::vector<std::string>& cells);

}  // namespace tavrine
