#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "../support/events.h"
#include "../support/recording_platform.h"
#include "app/workspace.h"

namespace tavrine {
namespace {

class HelpWindow : public ::testing::Test {
 protected:
  void SetUp() override { setenv("TAVRINE_MANUAL_HOST", "manual.test:8123", 1); }
  void TearDown() override { unsetenv("TAVRINE_MANUAL_HOST"); }

  void click(const std::string& c) { testing::Click(ws, c); }
  bool vis(const std::string& c) const { return ws.form.visible(c); }
  bool browserFace() const {
    return !vis("TForm4.Panel1") && vis("TForm4.Button1") && vis("TForm4.Button2");
  }
  bool textFace() const {
    return vis("TForm4.Panel1") && !vis("TForm4.Button1") && !vis("TForm4.Button2");
  }

  testing::RecordingPlatform p;
  Workspace ws{p};
};

TEST_F(HelpWindow, HiddenAtStartWithBrowserFaceUnderneath) {
  EXPECT_FALSE(vis("TForm4"));
  EXPECT_FALSE(vis("TForm4.Panel1"));
  EXPECT_EQ(ws.form.text("TForm4"), "利用説明");
  EXPECT_EQ(ws.form.text("TForm4.Button2"), "簡易利用説明書を読む");
  EXPECT_EQ(ws.form.text("TForm4.Button1"), "常時接続で最新版を読む");
}

TEST_F(HelpWindow, UsageButtonTwiceOpensEmptyBrowserThenCloses) {
  ws.form.setVisible("Panel4", true);
  ws.form.setVisible("Panel14", true);
  click("Button88");
  EXPECT_TRUE(vis("TForm4"));
  EXPECT_TRUE(browserFace());
  EXPECT_FALSE(vis("Panel14"));  // the code-entry panel goes away
  EXPECT_TRUE(vis("Panel4"));    // its parent is left alone
  EXPECT_TRUE(p.urls.empty());   // opening loads no page by itself
  click("Button88");
  EXPECT_FALSE(vis("TForm4"));
  EXPECT_TRUE(p.urls.empty());
  EXPECT_TRUE(p.messages.empty());
  EXPECT_TRUE(p.errors.empty());
}

TEST_F(HelpWindow, ClosingLeavesCollectionPanelAsItWas) {
  click("Button88");
  ws.form.setVisible("Panel14", true);
  click("Button88");  // closing does not touch the main window
  EXPECT_TRUE(vis("Panel14"));
}

TEST_F(HelpWindow, ManualButtonsNavigateToTheirPages) {
  click("Button88");
  click("TForm4.Button2");
  click("TForm4.Button1");
  ASSERT_EQ(p.urls.size(), 2u);
  EXPECT_EQ(p.urls[0], "http://manual.test:8123/tavrine/tavrinekanni.htm");
  EXPECT_EQ(p.urls[1], "http://manual.test:8123/tavrine/tavrine.htm");
  EXPECT_TRUE(vis("TForm4"));
  EXPECT_TRUE(browserFace());
}

TEST_F(HelpWindow, ShortManualLeavesBothManualButtonsVisible) {
  click("Button88");
  click("TForm4.Button2");
  EXPECT_TRUE(vis("TForm4.Button1"));
  EXPECT_TRUE(vis("TForm4.Button2"));
  EXPECT_FALSE(vis("TForm4.Panel1"));
}

TEST_F(HelpWindow, EachManualButtonBringsBackTheOtherOnly) {
  const std::pair<const char*, const char*> presses[] = {{"TForm4.Button2", "TForm4.Button1"},
                                                         {"TForm4.Button1", "TForm4.Button2"}};
  for (const auto& [pressed, other] : presses) {
    ws.form.setVisible("TForm4.Button1", false);
    ws.form.setVisible("TForm4.Button2", false);
    ws.form.setVisible("TForm4.Panel1", true);
    click(pressed);
    EXPECT_TRUE(vis(other));
    EXPECT_FALSE(vis(pressed));
    EXPECT_FALSE(vis("TForm4.Panel1"));
  }
}

TEST_F(HelpWindow, HostDefaultsToQuoteHost) {
  unsetenv("TAVRINE_MANUAL_HOST");
  setenv("TAVRINE_QUOTE_HOST", "127.0.0.1:9999", 1);
  click("TForm4.Button1");
  unsetenv("TAVRINE_QUOTE_HOST");
  ASSERT_EQ(p.urls.size(), 1u);
  EXPECT_EQ(p.urls[0], "http://127.0.0.1:9999/tavrine/tavrine.htm");
}

TEST_F(HelpWindow, TextFaceShowsTheTextThenClosesOnSecondPress) {
  ws.help.ShowText("S1: 買い\r\nS2: 売り");
  EXPECT_EQ(ws.form.text("TForm4.Label1"), "S1: 買い\r\nS2: 売り");
  EXPECT_TRUE(vis("TForm4"));
  EXPECT_TRUE(textFace());
  EXPECT_FALSE(vis("TForm4.WebBrowser1"));
  ws.help.ShowText("S1: 買い\r\nS2: 売り");
  EXPECT_FALSE(vis("TForm4"));
  EXPECT_FALSE(vis("TForm4.Panel1"));
  EXPECT_TRUE(p.urls.empty());
}

TEST_F(HelpWindow, ExplanationThenUsageButtonCloses) {
  ws.help.ShowText("説明文");
  click("Button88");
  EXPECT_FALSE(vis("TForm4"));
  // Opening again shows the browser face, not the text.
  click("Button88");
  EXPECT_TRUE(vis("TForm4"));
  EXPECT_TRUE(browserFace());
  // The browser's own flag stays as the text face left it.
  EXPECT_FALSE(vis("TForm4.WebBrowser1"));
}

TEST_F(HelpWindow, ExplanationWhileBrowserOpenClosesAndKeepsNewText) {
  click("Button88");
  ws.help.ShowText("新しい説明");
  EXPECT_FALSE(vis("TForm4"));
  EXPECT_FALSE(vis("TForm4.Panel1"));
  // The manual buttons stay as the browser face had them.
  EXPECT_TRUE(vis("TForm4.Button1"));
  EXPECT_TRUE(vis("TForm4.Button2"));
  EXPECT_EQ(ws.form.text("TForm4.Label1"), "新しい説明");
  ws.help.ShowText("新しい説明");
  EXPECT_TRUE(textFace());
}

TEST_F(HelpWindow, ManualButtonFromTextFaceSwitchesToBrowser) {
  ws.help.ShowText("説明文");
  click("TForm4.Button2");
  EXPECT_TRUE(vis("TForm4"));
  EXPECT_FALSE(vis("TForm4.Panel1"));
  EXPECT_TRUE(vis("TForm4.Button1"));
  ASSERT_EQ(p.urls.size(), 1u);
}

}  // namespace
}  // namespace tavrine
