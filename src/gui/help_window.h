// The help window TForm4: a light browser for the manual pages (browser
// face) and a panel with one long text (text face).
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <functional>

#include <QNetworkReply>

QT_BEGIN_NAMESPACE
class QNetworkAccessManager;
QT_END_NAMESPACE

namespace tavrine::gui {

// The browser: pages are fetched over HTTP and shown as rich text.
class ManualBrowser : public QTextBrowser {
  Q_OBJECT
 public:
  explicit ManualBrowser(QWidget* parent = nullptr);

  void navigate(const QUrl& url);
  QUrl current() const { return current_; }
  // True while a page is on its way.
  bool loading() const { return reply_ != nullptr; }

 signals:
  void pageShown(const QUrl& url, bool ok);

 protected:
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  void finished(QNetworkReply* reply);

  QNetworkAccessManager* net_;
  QPointer<QNetworkReply> reply_;
  QUrl current_;
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

  // The user closed the window with its close box.
  std::function<void()> onClosed;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void place();

  ManualBrowser* browser_;
  QFrame* panel_;
  QScrollArea* scroll_;
  QLabel* label_;
  QPushButton* button1_;
  QPushButton* button2_;
};

// Decodes an HTML page by its announced or declared character set.
QString DecodePage(const QByteArray& body, const QByteArray& contentType);

}  // namespace tavrine::gui
