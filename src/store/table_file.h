// Tables kept in comma-text files: one file line a table row.
#pragma once

#include <functional>
#include <string>

#include "store/work_table.h"

namespace tavrine {

// Reads the file at path; the table's row count becomes the number of lines
// and line i fills row i (fields past maxCols are dropped). progress(i, n) is
// called before line i is read. Throws FileError when the file can't be read.
void LoadTableFile(WorkTable& t, const std::string& path, int maxCols,
                   const std::function<void(int, int)>& progress = {});

// Writes rows 0 .. rowCount-1 over columns 0 .. colCount-1 as comma text,
// lines separated by CR LF, replacing the file only once it is fully written.
void SaveTableFile(const WorkTable& t, const std::string& path);

// The stock list's clean-up after loading (Button53Click): every cell of
// columns 0 .. 200 and rows 0 .. kLastDayRow whose whole text is a quoted blank
// (double quote, space, double quote) or two double quotes becomes empty.
void ClearQuotedBlanks(WorkTable& list);

}  // namespace tavrine
