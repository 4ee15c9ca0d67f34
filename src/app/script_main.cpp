// tavrine-script [FILE]: runs the engine without a window and plays a script
// of user actions (standard input when FILE is absent).
#include <fstream>
#include <iostream>
#include <string>

#include "app/script.h"
#include "store/heap.h"
#include "store/paths.h"
#include "store/save_guard.h"

namespace {

const char* const kUsage =
    "usage: tavrine-script [FILE]\n"
    "       tavrine-script --help\n"
    "\n"
    "Plays a script of user actions against the engine without a window (standard\n"
    "input when FILE is absent). One command a line; blank lines and lines starting\n"
    "with # are skipped. In TEXT, \\r \\n \\t \\s (space) and \\\\ are escapes.\n"
    "\n"
    "Actions:\n"
    "  start                      program start (start-up of the main window)\n"
    "  set CONTROL [TEXT]         replace a text box's text as typing would\n"
    "  key CONTROL CODE           a key press with that character code (13 = Enter)\n"
    "  click CONTROL              a click with the control as sender\n"
    "  dblclick CONTROL           a double click\n"
    "  mouseup GRID C R           mouse release over StringGrid5 or StringGrid7 cell [C,R]\n"
    "                             (-1 -1: no cell)\n"
    "  chartdown [LINE:INDEX ...] mouse press on the chart with those points under it\n"
    "  import PATH [CODE [NAME]]  import a daily-price file into the stock list, as the\n"
    "                             window's import does (\\s for a space in PATH); CODE and\n"
    "                             NAME override the file's, NAME is the rest of the line;\n"
    "                             prints the summary as message: and each refusal as\n"
    "                             error:\n"
    "  update                     brings every listed stock up to the newest day of the\n"
    "                             J-Quants API (TAVRINE_JQUANTS_KEY or tavrine.ini [update]\n"
    "                             key=; TAVRINE_JQUANTS_HOST for a stand-in): before each\n"
    "                             request of prices status: 一括更新: YYYY/MM/DD の株価を\n"
    "                             取得しています (I/N日) (or CODE ... (I/N銘柄) when fetched\n"
    "                             by stock), then the summary as message: (一括更新完了: ...,\n"
    "                             or that the list is up to date), or the failure as\n"
    "                             error: 一括更新できませんでした。... with nothing changed;\n"
    "                             the key is never printed\n"
    "  add CODE|NAME              adds one stock from the J-Quants API (銘柄追加): found in\n"
    "                             its master by code or part of the name, its history in\n"
    "                             the plan's window taken in code order (the list and\n"
    "                             hizuke.csv made when there is none); status: while it\n"
    "                             runs, the summary as message: (銘柄追加完了: ..., or that\n"
    "                             it is listed already), a failure as error: with nothing\n"
    "                             changed\n"
    "  rename CODE NAME           renames a listed stock (heading CODE NAME), saved at once\n"
    "  remove CODE                removes a listed stock's column, saved at once\n"
    "  undo                       puts back the list as it was before its last change\n"
    "                             (import, adjustment, update, rename, removal; five are\n"
    "                             kept), hizuke.csv and code.txt with it\n"
    "  redo                       takes the last undo back (the list as that undo found\n"
    "                             it); a new change ends the way forward\n"
    "  mode honest|hindsight      the way of judging: honest (no value for a day reads a\n"
    "                             later close; trades at the next day's close) or\n"
    "                             hindsight (the original centred lines, which read later\n"
    "                             closes); the driver starts in hindsight, the window in\n"
    "                             honest; a stock on the chart is judged anew\n"
    "\n"
    "Queries:\n"
    "  cell TABLE C R             prints TABLE[C,R]=TEXT\n"
    "  dump TABLE C0-C1 R0-R1     one line a row: row number, then the cells, tab-separated\n"
    "  size TABLE                 prints TABLE COLS x ROWS\n"
    "  text CONTROL               prints CONTROL=TEXT\n"
    "  visible CONTROL            prints CONTROL visible=1 or visible=0\n"
    "  chart LINE                 prints LINE N, then x, y, label of each point; the\n"
    "                             trade markers are the lines buys and sells\n"
    "  echo TEXT                  prints TEXT\n"
    "  scan long|short [MIN]      rule scan: every stock of the list (columns 1..197) by\n"
    "                             every rule, long- or short-term rule set, in the current\n"
    "                             entry direction and way of judging; one line a row,\n"
    "                             tab-separated: code, name, rule, trades, average ratio,\n"
    "                             trades per year,\n"
    "                             annual rate, share of trades above 1, average days,\n"
    "                             max drawdown, profit factor, longest losing streak,\n"
    "                             exposure, buy and hold, each as the scan window and\n"
    "                             its CSV show it (62.5%, 3.2%, 1.37, 1.050; - for no\n"
    "                             value); annual rate descending, then code, then rule,\n"
    "                             rows of fewer than MIN trades (5) below the others\n"
    "  figures                    figures of the current backtest: figures trades=M\n"
    "                             wins=W equity=E maxdd=D pf=P streak=S exposure=X hold=H\n"
    "                             (- for a figure without a value)\n"
    "  signals long|short         today's signals, always judged honestly: one line a\n"
    "                             stock in list order, tab-separated: the code, then for\n"
    "                             S1 S2 S3 G3 G4 G5 G6 G7 乖離 ST the sign on the stock's\n"
    "                             newest priced day (+ - 0), * appended when it differs\n"
    "                             from the day before, . where the rule has no value\n"
    "  bars CODE day|week|month [N]  the stock's newest N bars (all without N) on the\n"
    "                             list's basis: bars CODE N, then date, open, high, low,\n"
    "                             close, volume, tab-separated, newest first; - for what\n"
    "                             the price store lacks (the close is the list's)\n"
    "\n"
    "Tables: StockList SeriesTable CalcTable StatsTable StockPicker WebRows\n"
    "        CandidateTable DateTable CacheTable\n"
    "Events printed as they happen: message: error: progress: status: navigate: print:\n"
    "Exit status: 0 when the whole script ran, 2 for a line it cannot understand.\n"
    "The first save takes the data folder (tavrine.lock) for the rest of the run; while\n"
    "another program holds it, saves are refused with its name and process id, and a\n"
    "file another program changed since it was read is not saved over.\n"
    "Environment: TAVRINE_HOME TAVRINE_ROOT TAVRINE_QUOTE_HOST TAVRINE_TODAY\n"
    "             TAVRINE_JQUANTS_KEY TAVRINE_JQUANTS_PLAN TAVRINE_JQUANTS_HOST HTTPS_PROXY\n";

}  // namespace

int main(int argc, char** argv) {
  tavrine::KeepFreedMemory();
  tavrine::SetExecutablePath(argv[0]);
  // The driver takes the data folder at its first save, not at its start: a
  // script that only reads runs while a window holds the folder.
  tavrine::EnableSaveGuard("tavrine-script");
  std::ios::sync_with_stdio(false);
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc > 2) {
    std::cerr << kUsage;
    return 2;
  }
  if (argc == 2) {
    std::ifstream in(argv[1]);
    if (!in) {
      std::cerr << "tavrine-script: cannot open " << argv[1] << '\n';
      return 2;
    }
    return tavrine::RunScript(in, std::cout, std::cerr);
  }
  return tavrine::RunScript(std::cin, std::cout, std::cerr);
}
