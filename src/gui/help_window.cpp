#include "gui/help_window.h"

#include <QCloseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace tavrine::gui {

namespace {

QFont PixelFont(int px) {
  QFont f(QStringLiteral("Noto Sans CJK JP"));
  f.setPixelSize(px);
  return f;
}

QString Escape(const QString& s) { return s.toHtmlEscaped(); }

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
  if (lower == "shift_jis" || lower == "sjis" || lower == "x-sjis" || lower == "windows-31j") charset = "CP932";
  if (!charset.isEmpty()) {
    QStringDecoder dec(charset.constData());
    if (dec.isValid()) return dec.decode(body);
  }
  return QString::fromUtf8(body);
}

ManualBrowser::ManualBrowser(QWidget* parent) : QTextBrowser(parent), net_(new QNetworkAccessManager(this)) {
  setOpenLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
    if (link.scheme().isEmpty() && link.hasFragment() && link.path().isEmpty()) {
      scrollToAnchor(link.fragment());
      return;
    }
    navigate(current_.resolved(link));
  });
}

void ManualBrowser::navigate(const QUrl& url) {
  if (reply_) {
    // The page on its way is dropped for the new one.
    QNetworkReply* old = reply_;
    reply_ = nullptr;
    old->disconnect(this);
    if (!old->isFinished()) old->abort();
    old->deleteLater();
  }
  current_ = url;
  setHtml(QStringLiteral("<p>%1 を読み込んでいます...</p>").arg(Escape(url.toString())));
  QNetworkRequest req(url);
  // Plain bodies: the length stays known and no decompression can cut them.
  req.setRawHeader("Accept-Encoding", "identity");
  req.setTransferTimeout(15000);
  reply_ = net_->get(req);
  QNetworkReply* r = reply_;
  connect(r, &QNetworkReply::finished, this, [this, r] { finished(r); });
}

void ManualBrowser::finished(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != reply_) return;
  reply_ = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() != QNetworkReply::NoError && status == 0) {
    setHtml(QStringLiteral("<h3>ページを表示できません</h3>"
                           "<p>%1 に接続できませんでした。</p>"
                           "<p>インターネットへの接続を確認してから、もう一度お試しください。</p>"
                           "<p style='color:#808080'>%2</p>")
                .arg(Escape(current_.toString()), Escape(reply->errorString())));
    emit pageShown(current_, false);
    return;
  }
  if (status >= 400) {
    setHtml(QStringLiteral("<h3>ページが見つかりません</h3><p>%1 (HTTP %2)</p>")
                .arg(Escape(current_.toString()))
                .arg(status));
    emit pageShown(current_, false);
    return;
  }
  const QByteArray body = reply->readAll();
  document()->setBaseUrl(current_);
  setHtml(DecodePage(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray()));
  emit pageShown(current_, true);
}

QVariant ManualBrowser::loadResource(int type, const QUrl& name) {
  // Images and style sheets of remote pages are not fetched: the text is
  // what the manual is read for.
  if (type == QTextDocument::ImageResource || type == QTextDocument::StyleSheetResource) return {};
  return QTextBrowser::loadResource(type, name);
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("TForm4"));
  setWindowTitle(QStringLiteral("利用説明"));
  setGeometry(376, 84, 639, 469);

  browser_ = new ManualBrowser(this);
  browser_->setObjectName(QStringLiteral("TForm4.WebBrowser1"));

  panel_ = new QFrame(this);
  panel_->setObjectName(QStringLiteral("TForm4.Panel1"));
  panel_->setAutoFillBackground(true);
  QPalette pal = panel_->palette();
  pal.setColor(QPalette::Window, QColor(0xE8, 0xE8, 0xE8));
  panel_->setPalette(pal);
  panel_->setFrameShape(QFrame::Panel);
  panel_->setFrameShadow(QFrame::Raised);
  panel_->hide();

  // The text sits at (33, 33) on the panel; a text longer than the window
  // scrolls instead of being cut off.
  scroll_ = new QScrollArea(panel_);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setAutoFillBackground(false);
  scroll_->viewport()->setAutoFillBackground(false);
  auto* holder = new QWidget;
  holder->setAutoFillBackground(false);
  auto* v = new QVBoxLayout(holder);
  v->setContentsMargins(33, 33, 33, 40);
  label_ = new QLabel(holder);
  label_->setObjectName(QStringLiteral("TForm4.Label1"));
  label_->setFont(PixelFont(16));
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setWordWrap(true);
  v->addWidget(label_);
  v->addStretch(1);
  scroll_->setWidget(holder);

  button2_ = new QPushButton(QStringLiteral("簡易利用説明書を読む"), this);
  button2_->setObjectName(QStringLiteral("TForm4.Button2"));
  button2_->resize(161, 26);
  button1_ = new QPushButton(QStringLiteral("常時接続で最新版を読む"), this);
  button1_->setObjectName(QStringLiteral("TForm4.Button1"));
  button1_->resize(169, 26);
  place();
}

void HelpWindow::place() {
  browser_->setGeometry(rect());
  panel_->setGeometry(rect());
  scroll_->setGeometry(panel_->contentsRect());
  // Both buttons keep their distance from the lower right corner.
  button2_->move(width() - 161 - 8, height() - 26 - 8);
  button1_->move(button2_->x() - 169 - 6, height() - 26 - 8);
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
