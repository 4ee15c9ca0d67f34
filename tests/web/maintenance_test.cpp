// Adding a collected stock to the list, the saved files, and the mode buttons.
#include <gtest/gtest.h>

#include "store/codec.h"
#include "web_support.h"

namespace tavrine {
namespace {

using namespace webtest;

class StockListUpdate : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};

  void SetUp() override {
    StartUpCells(ws);
    ws.StockList.set(0, 0, "日付");
    for (int r = 1; r <= 5; ++r) ws.StockList.set(0, r, "2003/12/2" + IntToStr(7 - r));
    ws.StockList.setRowCount(6);
  }
  // A stock column: heading and five prices base, base+1, ...
  void stock(int col, const std::string& heading, int base) {
    ws.StockList.set(col, 0, heading);
    for (int r = 1; r <= 5; ++r) ws.StockList.set(col, r, IntToStr(base + r));
  }
  // The scratch column as a successful collection leaves it.
  void collected(const std::string& code, const std::string& heading, int base, int lastRow = 5) {
    ws.form.setText("Edit18", code);
    ws.StockList.set(199, 0, heading);
    for (int r = 1; r <= 5; ++r) ws.StockList.set(199, r, IntToStr(base + r));
    ws.SeriesTable.set(1, 4862, IntToStr(lastRow));
    ws.collection.setScratchReady(true);
  }
  std::string codeList() { return ReadFileBytes(folder.path("listwerk/kabuka/code.txt")); }
  std::vector<std::string> headings(int upTo) {
    std::vector<std::string> h;
    for (int c = 1; c <= upTo; ++c) h.push_back(ws.StockList.cell(c, 0));
    return h;
  }
};

TEST_F(StockListUpdate, InsertsInCodeOrder) {
  stock(1, "1301 極洋", 100);
  stock(2, "7203 トヨタ", 200);
  stock(3, "9984 ソフトバンク", 300);
  collected("8058", "8058,三菱商事", 800);
  ws.maintenance.Button104Click();
  EXPECT_TRUE(platform.errors.empty());
  const std::vector<std::string> expect = {"1301 極洋", "7203 トヨタ", "8058,三菱商事",
                                           "9984 ソフトバンク", ""};
  EXPECT_EQ(headings(5), expect);
  EXPECT_EQ(ws.StockList.cell(3, 5), "805");
  EXPECT_EQ(ws.StockList.cell(4, 1), "301");  // 9984 moved with its prices
  EXPECT_EQ(ws.StockList.cell(199, 0), "");
  EXPECT_EQ(ws.StockList.cell(199, 1), "");
  EXPECT_EQ(ws.SeriesTable.cell(16, 4862), "3");
  EXPECT_EQ(ws.StockList.colCount(), 5);
  EXPECT_EQ(codeList(), "\r\n1301\r\n7203\r\n8058\r\n9984");
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[0], "デ－タ一覧保存完了しました");
  EXPECT_EQ(platform.messages[1], "デ－タ一覧に合わせ収集銘柄変更しました");
  // Saved with L + 2 = 5 fields a line; headings with a space or a comma
  // stand in quotes.
  const auto lines = ReadLines(folder.path("デ-タ一覧.csv").string());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "日付,\"1301 極洋\",\"7203 トヨタ\",\"8058,三菱商事\",\"9984 ソフトバンク\"");
  EXPECT_EQ(lines[1], "2003/12/26,101,201,801,301");
}

TEST_F(StockListUpdate, AppendsAfterTheLastCode) {
  stock(1, "1301 極洋", 100);
  stock(2, "9984 ソフトバンク", 300);
  collected("9999", "9999 テスト", 900);
  ws.maintenance.Button104Click();
  const std::vector<std::string> expect = {"1301 極洋", "9984 ソフトバンク", "9999 テスト"};
  EXPECT_EQ(headings(3), expect);
  EXPECT_EQ(ws.StockList.cell(3, 3), "903");
  EXPECT_EQ(codeList(), "\r\n1301\r\n9984\r\n9999");
  EXPECT_EQ(ReadLines(folder.path("デ-タ一覧.csv").string())[2], "2003/12/25,102,302,902");
}

TEST_F(StockListUpdate, CodeBelowTheFirstGoesInFront) {
  stock(1, "2122 丸善製薬", 100);
  stock(2, "9984 ソフトバンク", 300);
  collected("2105", "2105,青山鋼業", 500);
  ws.maintenance.Button104Click();
  const std::vector<std::string> expect = {"2105,青山鋼業", "2122 丸善製薬", "9984 ソフトバンク",
                                           ""};
  EXPECT_EQ(headings(4), expect);
  EXPECT_EQ(ws.StockList.cell(1, 2), "502");
  EXPECT_EQ(ws.StockList.cell(2, 2), "102");
  EXPECT_EQ(codeList(), "\r\n2105\r\n2122\r\n9984");
  // A single stock works the same way.
  collected("1000", "1000 x", 0);
  ws.maintenance.Button104Click();
  EXPECT_EQ(ws.StockList.cell(1, 0), "1000 x");
  EXPECT_EQ(ws.StockList.cell(2, 0), "2105,青山鋼業");
  EXPECT_EQ(ws.StockList.cell(4, 0), "9984 ソフトバンク");
}

TEST_F(StockListUpdate, ReplacesTheSameCodeInPlace) {
  stock(1, "1301 極洋", 100);
  stock(2, "7203 トヨタ", 200);
  stock(3, "9984 ソフトバンク", 300);
  ws.StockList.set(2, 5, "old only");
  collected("7203", "7203 トヨタ自動車", 700, 3);  // rows 0..3 are stored
  ws.maintenance.Button104Click();
  const std::vector<std::string> expect = {"1301 極洋", "7203 トヨタ自動車", "9984 ソフトバンク",
                                           ""};
  EXPECT_EQ(headings(4), expect);
  EXPECT_EQ(ws.StockList.cell(2, 3), "703");
  EXPECT_EQ(ws.StockList.cell(2, 4), "");  // emptied, beyond the stored rows
  EXPECT_EQ(ws.StockList.cell(2, 5), "");
  EXPECT_EQ(codeList(), "\r\n1301\r\n7203\r\n9984");
  // The first form of the code list runs to L + 1 and so ends with an empty line.
  ws.maintenance.Button105Click();
  EXPECT_EQ(codeList(), "\r\n1301\r\n7203\r\n9984\r\n");
}

// A stock the list file keeps past column 197 would be overwritten by the
// collected series, and a name with a character Shift-JIS cannot hold would be
// saved with '?': both are refused, naming it, and nothing is written.
TEST_F(StockListUpdate, AStockPastTheListOrAnUnsavableNameIsRefused) {
  stock(1, "1301 極洋", 100);
  std::string file = "日付,\"1301 極洋\"";
  for (int c = 2; c <= 199; ++c) file += c == 198 ? ",\"8001 伊藤忠\"" : ",";
  file += "\r\n2003/12/26,101\r\n";
  WriteText(folder.path("デ-タ一覧.csv").string(), file);
  const std::string bytes = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  collected("7203", "7203 トヨタ", 200);
  ws.maintenance.Button104Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_NE(platform.messages[0].find("198列目以降に銘柄 (8001 伊藤忠)"), std::string::npos)
      << platform.messages[0];
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), bytes);

  WriteText(folder.path("デ-タ一覧.csv").string(), "日付,\"1301 極洋\"\r\n2003/12/26,101\r\n");
  const std::string small = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  collected("7203", "7203 ト𠮷タ", 200);
  ws.maintenance.Button104Click();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1],
            "銘柄名の「𠮷」はShift-JISのデータ一覧に保存できない文字です (7203 ト𠮷タ)");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), small);
  EXPECT_EQ(headings(2), (std::vector<std::string>{"1301 極洋", ""}));
}

TEST_F(StockListUpdate, FullListIsRefusedAndNothingIsWritten) {
  for (int c = 1; c <= 197; ++c) stock(c, IntToStr(1000 + c) + " s", c);
  WriteText(folder.path("デ-タ一覧.csv").string(), "before\r\n");
  WriteText(folder.path("listwerk/kabuka/code.txt").string(), "\r\n1001");
  collected("5000", "5000 x", 1);
  ws.maintenance.Button104Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  // Without the list editor the advice names the program's own 削除.
  EXPECT_EQ(platform.messages[0],
            "登録銘柄数が制限を超えています。\r銘柄ボタンを右クリックし「デ-タ一覧から削除」で"
            "不要銘柄を削除して下さい。");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), "before\r\n");
  EXPECT_EQ(codeList(), "\r\n1001");
  EXPECT_EQ(ws.StockList.cell(199, 0), "5000 x");
  EXPECT_EQ(ws.StockList.colCount(), 200);
  // With it installed, the editor's own way.
  WriteText(folder.path("listwerk/listwerk.exe").string(), "");
  ws.maintenance.Button104Click();
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1],
            "登録銘柄数が制限を超えています。\rlistwerk.exeで不要銘柄を削除して下さい。");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), "before\r\n");
}

TEST_F(StockListUpdate, SecondPressLosesNothing) {
  stock(1, "1301 極洋", 100);
  stock(2, "9984 ソフトバンク", 300);
  collected("7203", "7203 トヨタ", 700);
  ws.maintenance.Button104Click();
  const std::string listFile = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  const auto before = headings(3);
  ASSERT_EQ(before[1], "7203 トヨタ");
  platform.messages.clear();
  ws.maintenance.Button104Click();
  EXPECT_EQ(headings(3), before);
  EXPECT_EQ(ws.StockList.cell(2, 5), "705");
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), listFile);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].find("デ－タ一覧"), std::string::npos);
}

TEST_F(StockListUpdate, ScratchOfAnotherCodeOrAFailedRunIsNotStored) {
  stock(1, "7203 トヨタ", 200);
  collected("7203", "0", 1);  // an interrupted run leaves the heading "0"
  ws.maintenance.Button104Click();
  EXPECT_EQ(ws.StockList.cell(1, 0), "7203 トヨタ");
  EXPECT_EQ(ws.StockList.cell(1, 1), "201");
  collected("7203", "8058 三菱商事", 1);  // the code box was changed afterwards
  ws.maintenance.Button104Click();
  EXPECT_EQ(ws.StockList.cell(1, 0), "7203 トヨタ");
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
}

TEST_F(StockListUpdate, NonNumericCodeEndsWithTheConversionError) {
  stock(1, "1301 極洋", 100);
  stock(2, "9984 ソフトバンク", 300);
  collected("72a3", "72a3 x", 1);
  Event ev;
  ws.dispatch("Button104", ev);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_NE(platform.errors[0].find("72a3"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.path("デ-タ一覧.csv")));
}

TEST_F(StockListUpdate, FailedSaveKeepsTheListAndTheSeriesForTheNextPress) {
  stock(1, "1301 極洋", 100);
  stock(2, "9984 ソフトバンク", 300);
  collected("7203", "7203 トヨタ", 700);
  // The list's folder cannot be written to (it does not exist yet).
  const std::string home = folder.path("home").string();
  ::setenv("TAVRINE_HOME", home.c_str(), 1);
  Event ev;
  ws.dispatch("Button104", ev);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(headings(3), (std::vector<std::string>{"1301 極洋", "9984 ソフトバンク", ""}));
  EXPECT_EQ(ws.StockList.cell(2, 1), "301");
  EXPECT_EQ(ws.StockList.colCount(), 200);
  EXPECT_TRUE(ws.collection.scratchReady());
  // Mended: the next press stores the same series.
  std::filesystem::create_directories(home);
  platform.errors.clear();
  platform.messages.clear();
  ws.dispatch("Button104", ev);
  EXPECT_TRUE(platform.errors.empty()) << platform.errors.front();
  EXPECT_EQ(headings(3),
            (std::vector<std::string>{"1301 極洋", "7203 トヨタ", "9984 ソフトバンク"}));
  EXPECT_EQ(ws.StockList.cell(2, 5), "705");
  EXPECT_TRUE(std::filesystem::exists(folder.path("home/デ-タ一覧.csv")));
  EXPECT_FALSE(ws.collection.scratchReady());
}

TEST_F(StockListUpdate, SavedListWithoutItsCodeListSaysExactlyThat) {
  stock(1, "1301 極洋", 100);
  collected("7203", "7203 トヨタ", 700);
  std::filesystem::remove_all(folder.path("listwerk"));
  Event ev;
  ws.dispatch("Button104", ev);
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0].rfind(
                "デ－タ一覧は保存しましたが、収集銘柄一覧 code.txt を保存できませんでした。\r", 0),
            0u)
      << platform.errors[0];
  EXPECT_NE(platform.errors[0].find("code.txt\" を作成できません"), std::string::npos)
      << platform.errors[0];
  const std::string saved = ReadFileBytes(folder.path("デ-タ一覧.csv"));
  EXPECT_NE(saved.find("7203"), std::string::npos);
  // The series is stored: a second press has nothing to add.
  platform.messages.clear();
  ws.dispatch("Button104", ev);
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].rfind("追加更新する収集データがありません。", 0), 0u);
  EXPECT_EQ(ReadFileBytes(folder.path("デ-タ一覧.csv")), saved);
}

TEST_F(StockListUpdate, ArmedSeriesIsStoredEvenAfterTheScratchColumnWasReused) {
  // Another view wrote the scratch column and another stock was extracted
  // after the collection: the update still stores what was collected.
  stock(1, "1301 極洋", 100);
  collected("7203", "7203 トヨタ", 700, 5);
  ws.StockList.set(199, 0, "7203 candidate");
  for (int r = 1; r <= 5; ++r) ws.StockList.set(199, r, "1");
  ws.SeriesTable.set(1, 4862, "2");
  ws.maintenance.Button104Click();
  EXPECT_EQ(ws.StockList.cell(2, 0), "7203 トヨタ");
  EXPECT_EQ(ws.StockList.cell(2, 5), "705");
}

class ModeButtons : public ::testing::Test {
 protected:
  DataFolder folder;
  RecordingPlatform platform;
  Workspace ws{platform};
};

TEST_F(ModeButtons, StandAloneMode) {
  ws.standAlone = true;
  ws.form.setText("Button17", "銘柄収集");
  ws.form.setText("BitBtn1", "tavrineⅠ");
  ws.maintenance.BitBtn1Click();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0],
            "pullbox.exe、listwerk.exe、デ-タ一覧 "
            "をインストールすると\rよく見る銘柄の登録、速い立上げやpickrow,tally"
            "との関連付けができます。");
  EXPECT_FALSE(ws.form.visible("Panel14"));
  ws.form.setText("Edit1", "7203");
  ws.picker.Edit1DblClick();
  EXPECT_EQ(ws.form.text("Edit1"), "");
  // A blank code collects nothing.
  ws.form.setText("Edit1", " ");
  ws.picker.Button17Click();
  EXPECT_EQ(ws.form.text("Edit18"), " ");
  EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(ModeButtons, FullModeTogglesThePanels) {
  ws.SeriesTable.set(5, 4862, "0");
  ws.SeriesTable.set(16, 4863, "1");
  ws.picker.Button17Click();
  EXPECT_TRUE(ws.form.visible("Panel4"));
  EXPECT_FALSE(ws.form.visible("Edit5"));
  EXPECT_EQ(ws.SeriesTable.cell(5, 4862), "1");
  EXPECT_EQ(ws.SeriesTable.cell(16, 4863), "");
  ws.picker.Button17Click();
  EXPECT_FALSE(ws.form.visible("Panel4"));
  EXPECT_TRUE(ws.form.visible("Edit5"));
  EXPECT_EQ(ws.SeriesTable.cell(5, 4862), "0");
  ws.form.setText("Edit1", "7203");
  ws.picker.Edit1DblClick();
  EXPECT_EQ(ws.form.text("Edit1"), "7203");

  // The last page's "切断しました" is not what an opened panel says.
  ws.setStatus("切断しました");
  ws.maintenance.BitBtn1Click();
  EXPECT_TRUE(ws.form.visible("Panel14"));
  EXPECT_TRUE(ws.form.visible("Panel4"));
  EXPECT_FALSE(ws.form.visible("StringGrid7"));
  EXPECT_EQ(ws.form.text("StatusBar1"), "");
  EXPECT_EQ(ws.form.text("Label21").substr(0, 15), "未登録銘柄");
  // Without the list editor the label names the program's own 削除.
  EXPECT_NE(ws.form.text("Label21").find("「デ-タ一覧から削除」"), std::string::npos);
  EXPECT_EQ(ws.form.text("Label21").find("一覧編集"), std::string::npos);
  ws.maintenance.BitBtn1Click();
  EXPECT_FALSE(ws.form.visible("Panel14"));
  WriteText(folder.path("listwerk/listwerk.exe").string(), "");
  ws.maintenance.BitBtn1Click();
  EXPECT_NE(ws.form.text("Label21").find("タヴリン用株価一覧編集"), std::string::npos);
}

TEST_F(ModeButtons, RememberedCodeIsWrittenAsTyped) {
  ws.form.setText("Edit1", "7203 ");
  ws.picker.Label2DblClick();
  EXPECT_EQ(ReadFileBytes(folder.path("memo.txt")), "7203 ");
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0], "保存しました。");
}

}  // namespace
}  // namespace tavrine
