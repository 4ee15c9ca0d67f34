#include "gui/help_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStringDecoder>
#include <QTextFrame>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/style.h"

// The shipped manual lives in this static library; its resources are
// registered before the first page is looked up.
static void InitManualResources() { Q_INIT_RESOURCE(manual); }

namespace tavrine::gui {

namespace {

// Where the window first stands, and its two buttons at the lower right.
constexpr QRect kWindow{376, 84, 639, 469};
constexpr QSize kButton1{169, 26};
constexpr QSize kButton2{161, 26};
// 戻る and 進む at the lower left.
constexpr QSize kArrowButton{80, 26};
constexpr int kButtonMargin = 8;
constexpr int kButtonGap = 6;
// Where the text starts on the text face.
constexpr int kTextInset = 33;

QString Escape(const QString& s) { return s.toHtmlEscaped(); }

// The manual's folder on the manual host, and in the program's resources.
const QString kHostRoot = QStringLiteral("/tavrine/");
const QString kShippedRoot = QStringLiteral(":/manual/");
// What an empty browser face opens: the full manual's contents.
const QString kFirstPage = QStringLiteral("tavrine.htm");
// The strip under the page that holds the two buttons.
constexpr int kButtonStrip = kButton1.height() + 2 * kButtonMargin;
// Pictures and style sheets fetched for one page from the host, and the
// largest one taken.
constexpr int kMaxResources = 32;
constexpr qint64 kMaxResourceBytes = 4 << 20;
// A page from the manual host: at most this large, and whole within this
// time; a redirect may not leave the host.
constexpr qint64 kMaxPageBytes = 4 << 20;
constexpr int kPageDeadlineMs = 30000;

// Every request to the manual host: plain bodies (the length stays known and
// no decompression can cut them), no redirect to another host, and no
// silence longer than 15 s.
QNetworkRequest ManualRequest(const QUrl& url) {
  QNetworkRequest req(url);
  req.setRawHeader("Accept-Encoding", "identity");
  req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                   QNetworkRequest::SameOriginRedirectPolicy);
  req.setTransferTimeout(15000);
  return req;
}

}  // namespace

QString DecodePage(const QByteArray& body, const QByteArray& contentType) {
  QByteArray charset;
  static const QRegularExpression cs(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_\\-]+)"),
                                     QRegularExpression::CaseInsensitiveOption);
  auto m = cs.match(QString::fromLatin1(contentType));
  if (m.hasMatch()) charset = m.captured(1).toLatin1();
  if (charset.isEmpty()) {
    m = cs.match(QString::fromLatin1(body.left(2048)));
    if (m.hasMatch()) charset = m.captured(1).toLatin1();
  }
  const QByteArray lower = charset.toLower();
  // Shift-JIS as Windows writes it is CP932.
  if (lower == "shift_jis" || lower == "sjis" || lower == "x-sjis" || lower == "windows-31j")
    charset = "CP932";
  if (!charset.isEmpty()) {
    QStringDecoder dec(charset.constData());
    if (dec.isValid()) return dec.decode(body);
  }
  return QString::fromUtf8(body);
}

ManualBrowser::ManualBrowser(QWidget* parent)
    : QTextBrowser(parent),
      net_(new QNetworkAccessManager(this)),
      hostConfigured_(ManualHostFromEnvironment()) {
  InitManualResources();
  setOpenLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    if (link.scheme().isEmpty() && link.hasFragment() && link.path().isEmpty()) {
      scrollToAnchor(link.fragment());
      return;
    }
    // Relative links lead on from the page on screen, so that a shipped page
    // standing in for the host links to shipped pages.
    navigate((shown_.isEmpty() ? current_ : shown_).resolved(link));
  });
}

QUrl ManualBrowser::ShippedPage(const QString& page) {
  return QUrl(QStringLiteral("qrc") + kShippedRoot + page);
}

QUrl ManualBrowser::ShippedCounterpart(const QUrl& url) {
  const QString scheme = url.scheme();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
  const QString path = url.path();
  if (!path.startsWith(kHostRoot)) return {};
  const QString page = path.mid(kHostRoot.size());
  if (page.isEmpty() || page.contains(QLatin1String(".."))) return {};
  if (!QFile::exists(QLatin1Char(':') + kShippedRoot.mid(1) + page)) return {};
  QUrl shipped = ShippedPage(page);
  if (url.hasFragment()) shipped.setFragment(url.fragment());
  return shipped;
}

bool ManualBrowser::ManualHostFromEnvironment() {
  return !qEnvironmentVariable("TAVRINE_MANUAL_HOST").trimmed().isEmpty();
}

void ManualBrowser::navigate(const QUrl& url) {
  // A new page drops the pages ahead, as in a web browser.
  if (at_ < 0 || visited_[static_cast<std::size_t>(at_)] != url) {
    visited_.resize(static_cast<std::size_t>(at_ + 1));
    visited_.push_back(url);
    at_ = static_cast<int>(visited_.size()) - 1;
    emit historyChanged();
  }
  load(url);
}

void ManualBrowser::goBack() {
  if (!canGoBack()) return;
  --at_;
  emit historyChanged();
  load(visited_[static_cast<std::size_t>(at_)]);
}

void ManualBrowser::goForward() {
  if (!canGoForward()) return;
  ++at_;
  emit historyChanged();
  load(visited_[static_cast<std::size_t>(at_)]);
}

void ManualBrowser::load(const QUrl& url) {
  if (reply_) {
    // The page on its way is dropped for the new one.
    QNetworkReply* old = reply_;
    reply_ = nullptr;
    old->disconnect(this);
    if (!old->isFinished()) old->abort();
    old->deleteLater();
  }
  dropResources();
  current_ = url;
  if (url.scheme() == QLatin1String("qrc")) {
    emit pageShown(url, displayShipped(url));
    return;
  }
  if (!hostConfigured_) {
    if (const QUrl shipped = ShippedCounterpart(url); shipped.isValid()) {
      displayShipped(shipped);
      emit pageShown(url, true);
      return;
    }
  }
  shown_ = QUrl();
  html_.clear();
  setHtml(QStringLiteral("<p>%1 を読み込んでいます...</p>").arg(Escape(url.toString())));
  reply_ = net_->get(ManualRequest(url));
  QNetworkReply* r = reply_;
  // A page too large, or one still arriving after the deadline, is stopped.
  auto stop = [r] {
    r->setProperty("stopped", true);
    r->abort();
  };
  connect(r, &QNetworkReply::metaDataChanged, this, [r, stop] {
    if (r->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kMaxPageBytes) stop();
  });
  connect(r, &QNetworkReply::downloadProgress, this, [stop](qint64 received, qint64) {
    if (received > kMaxPageBytes) stop();
  });
  QTimer::singleShot(kPageDeadlineMs, r, stop);
  connect(r, &QNetworkReply::finished, this, [this, r] { finished(r); });
}

void ManualBrowser::finished(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != reply_) return;
  reply_ = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->property("stopped").toBool()) {
    shown_ = QUrl();
    setHtml(
        QStringLiteral("<h3>ページを表示できません</h3>"
                       "<p>%1 は大きすぎるか、読み込みに時間がかかりすぎるので中止しました。</p>")
            .arg(Escape(current_.toString())));
    emit pageShown(current_, false);
    return;
  }
  if (status >= 300 && status < 400) {
    // A redirect to another host is not followed, and not shown as the manual.
    shown_ = QUrl();
    setHtml(QStringLiteral(
                "<h3>ページを表示できません</h3><p>%1 は別の場所へ転送されました (HTTP %2)。</p>")
                .arg(Escape(current_.toString()))
                .arg(status));
    emit pageShown(current_, false);
    return;
  }
  if (reply->error() != QNetworkReply::NoError && status == 0) {
    // No answer at all: the shipped page of that name, when there is one.
    if (const QUrl shipped = ShippedCounterpart(current_); shipped.isValid()) {
      displayShipped(shipped, QStringLiteral("%1 に接続できませんでした。"
                                             "プログラムに付属の説明書を表示しています。")
                                  .arg(current_.toString()));
      emit pageShown(current_, false);
      return;
    }
    shown_ = QUrl();
    setHtml(QStringLiteral("<h3>ページを表示できません</h3>"
                           "<p>%1 に接続できませんでした。</p>"
                           "<p>インターネットへの接続を確認してから、もう一度お試しください。</p>"
                           "<p style='color:#808080'>%2</p>")
                .arg(Escape(current_.toString()), Escape(reply->errorString())));
    emit pageShown(current_, false);
    return;
  }
  if (status >= 400) {
    shown_ = QUrl();
    setHtml(QStringLiteral("<h3>ページが見つかりません</h3><p>%1 (HTTP %2)</p>")
                .arg(Escape(current_.toString()))
                .arg(status));
    emit pageShown(current_, false);
    return;
  }
  const QByteArray body = reply->readAll();
  display(current_,
          DecodePage(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray()));
  emit pageShown(current_, true);
}

void ManualBrowser::display(const QUrl& url, const QString& html) {
  shown_ = url;
  html_ = html;
  document()->setBaseUrl(url.adjusted(QUrl::RemoveFragment));
  setHtml(html);
  if (url.hasFragment()) scrollToAnchor(url.fragment());
}

bool ManualBrowser::displayShipped(const QUrl& page, const QString& notice) {
  QFile f(QLatin1Char(':') + page.path());
  if (!f.open(QIODevice::ReadOnly)) {
    shown_ = QUrl();
    setHtml(
        QStringLiteral("<h3>ページが見つかりません</h3><p>%1</p>").arg(Escape(page.toString())));
    return false;
  }
  QString html = DecodePage(f.readAll(), QByteArray());
  if (!notice.isEmpty()) {
    const QString line =
        QStringLiteral("<p style='background-color:#fff0c0'>%1</p>").arg(Escape(notice));
    static const QRegularExpression body(QStringLiteral("<body[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = body.match(html);
    html.insert(m.hasMatch() ? m.capturedEnd() : 0, line);
  }
  display(page, html);
  return true;
}

void ManualBrowser::dropResources() {
  for (auto it = resourceReplies_.begin(); it != resourceReplies_.end(); ++it) {
    QNetworkReply* r = it.key();
    r->disconnect(this);
    if (!r->isFinished()) r->abort();
    r->deleteLater();
  }
  resourceReplies_.clear();
  resources_.clear();
  resourcesAsked_ = 0;
  resourcesArrived_ = false;
}

QVariant ManualBrowser::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource)
    return QTextBrowser::loadResource(type, name);
  const QUrl url = shown_.resolved(name);
  if (url.scheme() == QLatin1String("qrc")) {
    QFile f(QLatin1Char(':') + url.path());
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = f.readAll();
    if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(data);
    return data;
  }
  // A page from the host: its pictures and style sheet come from the same
  // host, after the text; the page is laid out again once they are in.
  if (url.scheme() != shown_.scheme() || url.host() != shown_.host() || url.port() != shown_.port())
    return {};
  if (auto it = resources_.constFind(url); it != resources_.constEnd()) {
    if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(*it);
    return *it;
  }
  const bool asked = std::any_of(resourceReplies_.cbegin(), resourceReplies_.cend(),
                                 [&](const QUrl& u) { return u == url; });
  if (asked || resourcesAsked_ >= kMaxResources) return {};
  ++resourcesAsked_;
  QNetworkReply* r = net_->get(ManualRequest(url));
  resourceReplies_.insert(r, url);
  connect(r, &QNetworkReply::downloadProgress, this, [r](qint64 received, qint64) {
    if (received > kMaxResourceBytes) r->abort();
  });
  connect(r, &QNetworkReply::finished, this, [this, r] { resourceFinished(r); });
  return {};
}

void ManualBrowser::resourceFinished(QNetworkReply* reply) {
  reply->deleteLater();
  const auto it = resourceReplies_.find(reply);
  if (it == resourceReplies_.end()) return;
  const QUrl url = it.value();
  resourceReplies_.erase(it);
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() == QNetworkReply::NoError && status < 400) {
    const QByteArray data = reply->readAll();
    if (data.size() <= kMaxResourceBytes) {
      resources_.insert(url, data);
      resourcesArrived_ = true;
    }
  }
  if (resourceReplies_.isEmpty() && resourcesArrived_) {
    // Everything asked for is in: lay the page out again, at the same place.
    resourcesArrived_ = false;
    const int at = verticalScrollBar()->value();
    setHtml(html_);
    verticalScrollBar()->setValue(at);
  }
}

void ManualBrowser::showEvent(QShowEvent* e) {
  QTextBrowser::showEvent(e);
  if (current_.isEmpty() && shown_.isEmpty() && !reply_) displayShipped(ShippedPage(kFirstPage));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  // The title and the button captions are the Form's, shown once the main
  // window takes this window in (MainWindow::attachHelp).
  setObjectName(QStringLiteral("TForm4"));
  setGeometry(kWindow);
  Fill(this, kControlFace);

  browser_ = new ManualBrowser(this);
  browser_->setObjectName(QStringLiteral("TForm4.WebBrowser1"));

  panel_ = new QFrame(this);
  panel_->setObjectName(QStringLiteral("TForm4.Panel1"));
  Fill(panel_, kHelpTextFace);
  panel_->setFrameShape(QFrame::Panel);
  panel_->setFrameShadow(QFrame::Raised);
  panel_->hide();

  // The text sits kTextInset in from the panel's upper left; a text longer
  // than the window scrolls instead of being cut off.
  scroll_ = new QScrollArea(panel_);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setAutoFillBackground(false);
  scroll_->viewport()->setAutoFillBackground(false);
  auto* holder = new QWidget;
  holder->setAutoFillBackground(false);
  auto* v = new QVBoxLayout(holder);
  v->setContentsMargins(kTextInset, kTextInset, kTextInset, kTextInset);
  label_ = new QLabel(holder);
  label_->setObjectName(QStringLiteral("TForm4.Label1"));
  label_->setFont(PixelFont(16));
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setWordWrap(true);
  v->addWidget(label_);
  v->addStretch(1);
  scroll_->setWidget(holder);

  button2_ = new QPushButton(this);
  button2_->setObjectName(QStringLiteral("TForm4.Button2"));
  button2_->resize(kButton2);
  button1_ = new QPushButton(this);
  button1_->setObjectName(QStringLiteral("TForm4.Button1"));
  button1_->resize(kButton1);
  auto arrow = [this](const QString& caption, const QString& name, const QString& tip) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->resize(kArrowButton);
    b->setToolTip(tip);
    b->setEnabled(false);
    return b;
  };
  back_ = arrow(QStringLiteral("◀ 戻る"), QStringLiteral("TForm4.Back"),
                QStringLiteral("前に見たページに戻ります (Alt+←)"));
  forward_ = arrow(QStringLiteral("進む ▶"), QStringLiteral("TForm4.Forward"),
                   QStringLiteral("戻る前のページに進みます (Alt+→)"));
  connect(back_, &QPushButton::clicked, browser_, &ManualBrowser::goBack);
  connect(forward_, &QPushButton::clicked, browser_, &ManualBrowser::goForward);
  connect(browser_, &ManualBrowser::historyChanged, this, [this] { showHistory(); });
  // The arrows belong to the browser face: they show and hide with it.
  browser_->installEventFilter(this);
  auto* backKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this);
  connect(backKey, &QShortcut::activated, browser_, &ManualBrowser::goBack);
  auto* forwardKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), this);
  connect(forwardKey, &QShortcut::activated, browser_, &ManualBrowser::goForward);
  // Escape closes either face, as the close box does.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { close(); });
  place();
}

void HelpWindow::showHistory() {
  back_->setEnabled(browser_->canGoBack());
  forward_->setEnabled(browser_->canGoForward());
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == browser_ && (e->type() == QEvent::Show || e->type() == QEvent::Hide)) {
    const bool on = e->type() == QEvent::Show;
    back_->setVisible(on);
    forward_->setVisible(on);
  }
  return QWidget::eventFilter(watched, e);
}

void HelpWindow::place() {
  // The buttons stand in a strip of their own below the page, so they
  // cover none of its text at any size.
  const QRect page(0, 0, width(), std::max(0, height() - kButtonStrip));
  browser_->setGeometry(page);
  panel_->setGeometry(page);
  scroll_->setGeometry(panel_->contentsRect());
  // Both buttons keep their distance from the lower right corner.
  button2_->move(width() - kButton2.width() - kButtonMargin,
                 height() - kButton2.height() - kButtonMargin);
  button1_->move(button2_->x() - kButton1.width() - kButtonGap,
                 height() - kButton1.height() - kButtonMargin);
  back_->move(kButtonMargin, height() - kArrowButton.height() - kButtonMargin);
  forward_->move(back_->x() + kArrowButton.width() + kButtonGap, back_->y());
  button1_->raise();
  button2_->raise();
}

void HelpWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  place();
}

void HelpWindow::closeEvent(QCloseEvent* e) {
  // Closing only hides: the window lives for the whole run.
  e->accept();
  if (onClosed) onClosed();
}

}  // namespace tavrine::gui
