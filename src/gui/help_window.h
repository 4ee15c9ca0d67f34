// The help window TForm4: a light browser for the manual pages (browser
// face) and a panel with one long text (text face).
#pragma once

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <vector>

#include <QNetworkReply>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
QT_END_NAMESPACE

namespace tavrine::gui {

// The browser. Pages of the manual host are fetched over HTTP and shown as
// rich text; the manual shipped with the program (Qt resources under
// ":/manual") stands in for them when no manual host is configured, and
// when the configured host cannot be reached.
class ManualBrowser : public QTextBrowser {
  Q_OBJECT
 public:
  explicit ManualBrowser(QWidget* parent = nullptr);

  // The shipped page of that name ("tavrine.htm"), as a qrc: URL.
  static QUrl ShippedPage(const QString& page);
  // The shipped page that stands for a page of the manual host
  // ("http://host/tavrine/tavrine.htm#keys" -> "qrc:/manual/tavrine.htm#keys");
  // empty when the program ships none by that name.
  static QUrl ShippedCounterpart(const QUrl& url);
  // True when TAVRINE_MANUAL_HOST names a host. The engine still sends the
  // browser to the quote host without it, but a quote site is no manual
  // site: the shipped pages are shown then.
  static bool ManualHostFromEnvironment();

  // Whether a manual host is configured (from the environment at first).
  void setHostConfigured(bool configured) { hostConfigured_ = configured; }
  bool hostConfigured() const { return hostConfigured_; }

  void navigate(const QUrl& url);
  // The pages sent to before and after the one on screen, as a web
  // browser's 戻る and 進む walk them.
  bool canGoBack() const { return at_ > 0; }
  bool canGoForward() const { return at_ + 1 < static_cast<int>(visited_.size()); }
  void goBack();
  void goForward();
  // The URL the browser was last sent to.
  QUrl current() const { return current_; }
  // The page on screen: the host's URL, or a qrc: URL for a shipped page.
  QUrl shown() const { return shown_; }
  bool showingShipped() const { return shown_.scheme() == QLatin1String("qrc"); }
  // True while a page or one of its pictures is on its way.
  bool loading() const { return reply_ != nullptr || !resourceReplies_.isEmpty(); }

 signals:
  // ok is false when the page asked for could not be had from its host,
  // whether a shipped page stands in for it or an error text.
  void pageShown(const QUrl& url, bool ok);
  // The pages behind or ahead changed.
  void historyChanged();

 protected:
  QVariant loadResource(int type, const QUrl& name) override;
  // A browser face shown before any page was asked for opens the shipped
  // full manual.
  void showEvent(QShowEvent* e) override;

 private:
  // Sends the browser to url without touching the pages behind and ahead.
  void load(const QUrl& url);
  void finished(QNetworkReply* reply);
  // Puts a page on screen; its pictures and style sheet load relative to url.
  void display(const QUrl& url, const QString& html);
  // A shipped page on screen, with a line on top when it stands in for an
  // unreachable host. False when the program ships no such page.
  bool displayShipped(const QUrl& page, const QString& notice = QString());
  void dropResources();
  void resourceFinished(QNetworkReply* reply);

  QNetworkAccessManager* net_;
  QPointer<QNetworkReply> reply_;
  QUrl current_;
  QUrl shown_;
  QString html_;
  bool hostConfigured_ = false;
  // Pictures and style sheets of a page from the host: fetched after the
  // text, then the page is laid out again with them.
  QHash<QUrl, QByteArray> resources_;
  QHash<QNetworkReply*, QUrl> resourceReplies_;
  std::vector<QUrl> visited_;
  int at_ = -1;  // the page on screen in visited_
  int resourcesAsked_ = 0;
  bool resourcesArrived_ = false;
};

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  ManualBrowser* browser() const { return browser_; }
  QFrame* panel() const { return panel_; }
  QLabel* label() const { return label_; }
  QPushButton* button1() const { return button1_; }
  QPushButton* button2() const { return button2_; }
  QPushButton* backButton() const { return back_; }
  QPushButton* forwardButton() const { return forward_; }

  // The user closed the window with its close box.
  std::function<void()> onClosed;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void place();
  void showHistory();

  ManualBrowser* browser_;
  QFrame* panel_;
  QScrollArea* scroll_;
  QLabel* label_;
  QPushButton* button1_;
  QPushButton* button2_;
  QPushButton* back_;
  QPushButton* forward_;
};

// Decodes an HTML page by its announced or declared character set.
QString DecodePage(const QByteArray& body, const QByteArray& contentType);

}  // namespace tavrine::gui
