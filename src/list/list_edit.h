// Changes to the stock list by hand, and the way back from any change.
//
// Before every change of the list file (an import, a split adjustment, an
// update, a rename, a removal, an added stock) the file as it stood is
// copied, with the calendar hizuke.csv and code.txt, to "tavrine/backup/" in
// the list's own folder, named by a sequence number, the time and the action
// ("00000012_20261209-180501_import.csv"); the newest five are kept.
// 元に戻す checks the newest whole, keeps what it replaces as a "redo-"
// backup, puts the three files back and drops the backup, so a second press
// goes one change further back; やり直し takes an undo back the same way. A
// new change drops the redo backups.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/state.h"

namespace tavrine {

inline constexpr int kListBackupsKept = 5;
inline constexpr const char* kListBackupFolder = "tavrine/backup";

// Copies the list file, when there is one, into the backup folder and drops
// all but the newest kListBackupsKept. Returns the backup's file name, ""
// when there was no list to keep. Throws FileError.
std::string BackUpStockList(const std::string& action);
// The backups' file names, newest first.
std::vector<std::string> StockListBackups();
// The backups taken by undos (what they replaced), newest first.
std::vector<std::string> StockListRedos();

struct ListEdit {
  bool done = false;
  std::string message;  // Japanese: what was done, or why not
};

class ListEdits {
 public:
  explicit ListEdits(State& ws) : ws_(ws) {}

  // The heading of the listed stock becomes "CODE NAME"; saved at once.
  ListEdit Rename(const std::string& code, const std::string& name);
  // The stock's column leaves the list (the stocks after it move one column
  // left); the list and code.txt (where its folder is) are saved at once.
  ListEdit Remove(const std::string& code);
  // The newest backup becomes the list file and the list again, its
  // calendar and code list with it; refused when the backup is not whole or
  // a file it replaces changed since this program saw it.
  ListEdit Undo();
  // The last undo taken back (the list as that undo found it).
  ListEdit Redo();

 private:
  // The column among 1 .. last whose heading starts with code, 0 when none.
  int ColumnOf(const std::string& code, int last) const;
  // Puts the file's stocks past the list proper back into the list and
  // returns the last stock column, among 1 .. 199. Throws FileError.
  int TakeStocksPastList();
  // Takes the file's stocks past the list proper, then finds code's column
  // (and the last stock column); a refusal, the list put back as before,
  // when the file cannot be read or the code is not in it.
  std::optional<ListEdit> FindStock(const std::string& code, const WorkTable& before, int& column,
                                    int& last);
  // Undo and Redo: puts the newest backup of its kind back.
  ListEdit Restore(bool redo);
  // Backs up, then saves ws_.StockList (and the code list when asked); on a
  // failure the tables are put back and nothing is left half-written.
  ListEdit Save(const WorkTable& before, const std::string& action, bool codeList,
                const std::string& doneMessage);

  State& ws_;
};

}  // namespace tavrine
