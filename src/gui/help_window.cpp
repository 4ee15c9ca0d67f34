#include "gui/help_window.h"

#include <QCloseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QVBoxLayout>

#include "gui/style.h"

namespace tavrine::gui {

namespace {

// Where the window first stands, and its two buttons at the lower right.
constexpr QRect kWindow{376, 84, 639, 469};
constexpr QSize kButton1{169, 26};
constexpr QSize kButton2{161, 26};
constexpr int kButtonMargin = 8;
constexpr int kButtonGap = 6;
// Where the text starts on the text face.
constexpr int kTextInset = 33;

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
  if (lower == "shift_jis" || lower == "sjis" || lower == "x-sjis" || lower == "windows-31j")
    charset = "CP932";
  if (!charset.isEmpty()) {
    QStringDecoder dec(charset.constData());
    if (dec.isValid()) return dec.decode(body);
  }
  return QString::fromUtf8(body);
}

ManualBrowser::ManualBrowser(QWidget* parent)
    : QTextBrowser(parent), net_(new QNetworkAccessManager(this)) {
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
  // The title and the button captions are the Form's, shown once the main
  // window takes this window in (MainWindow::attachHelp).
  setObjectName(QStringLiteral("TForm4"));
  setGeometry(kWindow);

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
  v->setContentsMargins(kTextInset, kTextInset, kTextInset, 40);
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
  place();
}

void HelpWindow::place() {
  browser_->setGeometry(rect());
  panel_->setGeometry(rect());
  scroll_->setGeometry(panel_->contentsRect());
  // Both buttons keep their distance from the lower right corner.
  button2_->move(width() - kButton2.width() - kButtonMargin,
                 height() - kButton2.height() - kButtonMargin);
  button1_->move(button2_->x() - kButton1.width() - kButtonGap,
                 height() - kButton1.height() - kButtonMargin);
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
