// Comma text: the line form of the stock-list file and of every list file the
// system reads (calendar, candidate and portfolio lists).
#pragma once

#include <functional>
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
// The same reading, each field handed to field(index, text) as it is read;
// the text lives until the next field.
void ForEachCommaField(std::string_view line, std::size_t maxFields,
                       const std::function<void(std::size_t, std::string_view)>& field);

// Joins cells with ","; a cell holding a character <= 32, a double quote or a
// comma is quoted with inner quotes doubled.
std::string ToCommaText(const std::vector<std::string>& cells);
// Whether a cell needs quotes in comma text, and one cell appended to out
// as ToCommaText writes it.
bool NeedsQuotes(std::string_view s);
void AppendCommaField(std::string_view s, std::string& out);

}  // namespace tavrine
