#include "gui/list_jobs.h"

#include <QScopeGuard>
#include <utility>

namespace tavrine::gui {

namespace {
constexpr int kRetryMs = 100;
}  // namespace

ListJobs::ListJobs(std::function<bool()> busy, std::function<void(const QString&)> note,
                   QObject* parent)
    : QObject(parent), busy_(std::move(busy)), note_(std::move(note)) {
  retry_.setInterval(kRetryMs);
  connect(&retry_, &QTimer::timeout, this, [this] { drain(); });
}

QString ListJobs::WaitNote(const QString& what, const QString& behind) {
  return QStringLiteral("%1は、実行中の%2が終わってから行います。").arg(what, behind);
}

bool ListJobs::run(const QString& what, std::function<void()> job) {
  const bool free = !running_ && queue_.empty() && !(busy_ && busy_());
  queue_.push_back({what, std::move(job)});
  if (!free) {
    const QString behind = running_ ? current_ : QStringLiteral("株価の受信");
    if (note_) note_(WaitNote(what, behind));
    if (!running_) retry_.start();
    return false;
  }
  drain();
  return true;
}

void ListJobs::drain() {
  if (running_) return;
  if (busy_ && busy_()) {
    if (!queue_.empty()) retry_.start();
    return;
  }
  retry_.stop();
  running_ = true;
  const auto done = qScopeGuard([this] { running_ = false; });  // however the jobs end
  while (!queue_.empty()) {
    Job job = std::move(queue_.front());
    queue_.pop_front();
    current_ = job.what;
    job.run();
  }
  current_.clear();
}

}  // namespace tavrine::gui
