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

}  // namespace tavrine
