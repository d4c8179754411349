#include "checks/pagechecker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "checks/pagefetch.h"
#include "checks/pagequeue.h"
#include "checks/sitemapdiscovery.h"
#include "net/fetch.h"
#include "net/httpclient.h"

namespace checks {

namespace {

// "scheme://host:port" of an absolute http(s) address, "" for any other.
QByteArray hostKey(const QByteArray &url)
{
    const QUrl parsed = QUrl::fromEncoded(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    QUrl key = parsed.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    key.setPort(parsed.port(scheme == QLatin1String("https") ? 443 : 80));
    return key.toEncoded();
}

QByteArray hostOf(const QByteArray &url)
{
    return QUrl::fromEncoded(url).host().toLower().toUtf8();
}

QByteArray pathAndQuery(const QByteArray &url)
{
    const QByteArray rest =
        QUrl::fromEncoded(url).toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    return rest.isEmpty() ? QByteArrayLiteral("/") : rest;
}

// What follows the protocol of a status line: "503 Service Unavailable".
QString statusOf(const QByteArray &statusLine)
{
    const QString line = net::printableStatusLine(statusLine);
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return blank < 0 ? line : line.mid(blank + 1);
}

// A fetch's account of a failure as a person reads it: "10061: [10061]
// Connection refused" becomes "connection refused (10061)"; an account
// without a code ("no answer within 30 s") stays as it is.
QString causeOf(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1String(": "));
    bool numeric = false;
    const int code = colon > 0 ? text.left(colon).toInt(&numeric) : 0;
    if (!numeric || colon + 2 >= text.size())
        return text;
    QString message = text.mid(colon + 2);
    const QString tag = QStringLiteral("[%1] ").arg(code);
    if (message.startsWith(tag))
        message = message.mid(tag.size());
    if (message.size() > 1 && message.at(0).isUpper() && message.at(1).isLower())
        message[0] = message.at(0).toLower();
    return QStringLiteral("%1 (%2)").arg(message).arg(code);
}

// The time a host asked to be left alone until, to the minute, rounded up.
QString untilText(const QDateTime &now, qint64 seconds)
{
    // Ten years stand for any longer wait: the date stays in range and says enough.
    constexpr qint64 tenYears = 10LL * 365 * 24 * 3600;
    QDateTime until = now.addSecs(std::min(seconds, tenYears));
    const int past = until.time().second() * 1000 + until.time().msec();
    if (past > 0)
        until = until.addMSecs(60000 - past);
    return until.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral(" UTC");
}

// Whether the request that brought the final answer carried the previous
// check's validators: the fetch sends them only while the address stays on
// the first host.
bool askedConditionally(const PageCheckInput &page, const QList<QByteArray> &redirects)
{
    if (page.previous.etag.isEmpty() && page.previous.lastModified.isEmpty())
        return false;
    const QByteArray first = hostOf(page.url);
    return std::all_of(redirects.begin(), redirects.end(),
                       [&first](const QByteArray &url) { return hostOf(url) == first; });
}

// What every worker shares: the pages, their results, the queue.
struct CheckState
{
    const QList<PageCheckInput> &pages;
    const PageCheckOptions &options;
    std::vector<PageCheckResult> &results;
    PageQueue &queue;
    QObject *caller;                     // lives on the calling thread: results are told through it
    std::function<void(int index)> tell; // runs on the calling thread

    // Pages judged and not told yet. One wake-up of the calling thread tells
    // all that gathered meanwhile; after telling some, it looks again a
    // moment later (the gatherer) rather than be woken for the next page: a
    // wake-up for every page costs the check more than the telling.
    std::mutex doneMutex;
    std::vector<int> done;
    bool wakeUpPosted = false;  // a wake-up is on its way, or the gatherer runs: the workers post none
    QTimer *gatherer = nullptr; // single shot, on the calling thread

    void judged(int index)
    {
        const std::lock_guard<std::mutex> lock(doneMutex);
        done.push_back(index);
        if (wakeUpPosted)
            return;
        wakeUpPosted = true;
        QMetaObject::invokeMethod(
            caller, [this] { tellGathered(); }, Qt::QueuedConnection);
    }

    // On the calling thread, from the wake-up or the gatherer.
    void tellGathered()
    {
        std::vector<int> batch;
        {
            const std::lock_guard<std::mutex> lock(doneMutex);
            batch.swap(done);
            // Nothing came since the last look: the next page wakes the thread again.
            if (batch.empty())
                wakeUpPosted = false;
        }
        if (batch.empty())
            return;
        gatherer->start();
        for (const int index : batch)
            tell(index);
    }

    // Every page judged and not told yet, when the workers are done.
    void tellJudged()
    {
        std::vector<int> batch;
        {
            const std::lock_guard<std::mutex> lock(doneMutex);
            batch.swap(done);
        }
        for (const int index : batch)
            tell(index);
    }
};

// One of the check's fetching threads. Its client is made, waits and dies in
// the thread: the net core holds no state a second client could disturb (the
// socket layer's count is atomic, the TLS context is shared under a lock, the
// error texts are constant tables, the proxy variables are only read), and a
// client's wait pumps the events of its own thread alone.
class Worker : public QThread
{
public:
    explicit Worker(CheckState &state) : m_state(state) {}

protected:
    void run() override
    {
        THTTPClient http;
        // A site's pages one after another over one kept connection, as a
        // crawler fetches them. The request stays HTTP/1.0 (with keep-alive):
        // the verdicts quote the status line, and a server answers in the
        // request's version.
        http.setPersistentConnection(true);
        PageFetcher pages(http);
        while (std::optional<PageQueue::Task> task = m_state.queue.take()) {
            if (task->kind == PageQueue::Task::Kind::Robots)
                readRobots(http, task->host);
            else
                checkPage(pages, *task);
        }
    }

private:
    void readRobots(THTTPClient &http, const QByteArray &host);
    void checkPage(PageFetcher &pages, const PageQueue::Task &task);
    bool judgeBusy(const PageQueue::Task &task, PageCheckResult &result, const PageFetchResult &fetched);
    void finish(const PageQueue::Task &task);
    bool stopped() const { return m_state.queue.stopped(); }

    CheckState &m_state;
};

void Worker::readRobots(THTTPClient &http, const QByteArray &host)
{
    const net::FetchResult fetched =
        fetchRobotsTxt(http, host + "/robots.txt", m_state.options.timeoutSeconds, [this] { return stopped(); });
    PageQueue::Robots robots;
    using Outcome = net::FetchResult::Outcome;
    const int code = fetched.statusCode;
    if (fetched.outcome == Outcome::Success) {
        robots.rules = std::make_shared<const RobotsTxt>(RobotsTxt::parse(fetched.body));
    } else if (fetched.outcome == Outcome::HttpStatus && (code >= 500 || code == 429 || code < 100)) {
        robots.unreadable =
            PageVerdict::robotsUnreadable(QStringLiteral("robots.txt answers ") + statusOf(fetched.statusLine));
    } else if (fetched.outcome == Outcome::HttpStatus || fetched.outcome == Outcome::RedirectRefused) {
        // No robots.txt (4xx), or none to be had through its redirects: every page may be crawled.
        robots.rules = std::make_shared<const RobotsTxt>();
    } else {
        robots.unreadable = PageVerdict::robotsUnreadable(QStringLiteral("robots.txt: ") + causeOf(fetched.text));
    }
    m_state.queue.robotsRead(host, std::move(robots));
}

void Worker::checkPage(PageFetcher &pages, const PageQueue::Task &task)
{
    const PageCheckInput &page = m_state.pages.at(task.index);
    PageCheckResult &result = m_state.results[size_t(task.index)];
    result.url = page.url;
    result.finalUrl = page.url;
    if (task.settled) {
        result.verdict = *task.settled;
        return finish(task);
    }
    if (!task.robots.rules->allows(pathAndQuery(page.url))) {
        result.verdict = PageVerdict::robotsDisallowed();
        return finish(task);
    }

    PageFetchRequest request;
    request.url = page.url;
    request.etag = page.previous.etag;
    request.lastModified = page.previous.lastModified;
    request.timeoutSeconds = m_state.options.timeoutSeconds;
    request.scope = m_state.options.scope;
    if (!page.previous.rawHash.isEmpty() && !page.previous.fingerprint.isEmpty())
        if (const std::optional<PageSignals> html = htmlSignalsBehind(page.previous.verdict))
            request.readBefore = PageFetchRequest::ReadBefore{page.previous.rawHash, page.previous.fingerprint, *html};
    request.stopRequested = [this] { return stopped(); };
    const PageFetchResult fetched = pages.fetch(request);
    ++result.tries;
    result.finalUrl = fetched.finalUrl;
    result.statusLine = fetched.statusLine;
    result.statusCode = fetched.statusCode;
    if (!fetched.answered()) {
        result.verdict = PageVerdict::unreachable(causeOf(fetched.text));
        return finish(task);
    }
    const int code = fetched.statusCode;
    if (code == 429 || (code >= 500 && code <= 599)) {
        if (judgeBusy(task, result, fetched))
            finish(task);
        return;
    }
    m_state.queue.calmAnswer(task.host);
    if (code < 100 || code > 599) {
        result.verdict = PageVerdict::unreachable(QStringLiteral("no valid status line: ") +
                                                  net::printableStatusLine(fetched.statusLine));
        return finish(task);
    }
    if (code == 304) {
        // Unchanged since a check that never happened: nothing is known of the page.
        if (!askedConditionally(page, fetched.redirects)) {
            result.verdict = PageVerdict::unreachable(statusOf(fetched.statusLine) +
                                                      QStringLiteral(" to a request without validators"));
            return finish(task);
        }
        result.notModified = true;
        result.fingerprint = page.previous.fingerprint;
        result.verdict = page.previous.verdict;
        result.etag = fetched.etag.isEmpty() ? page.previous.etag : fetched.etag;
        result.lastModified = fetched.lastModified.isEmpty() ? page.previous.lastModified : fetched.lastModified;
        result.rawHash = page.previous.rawHash;
        return finish(task);
    }
    result.etag = fetched.etag;
    result.lastModified = fetched.lastModified;
    if (code < 200 || code > 299)
        result.verdict = PageVerdict::httpStatus(net::printableStatusLine(fetched.statusLine));
    else if (!fetched.redirects.isEmpty())
        result.verdict = PageVerdict::redirected(fetched.finalUrl);
    else
        result.verdict = fetched.pageSignals.verdict(fetched.finalUrl);
    result.fingerprint = fetched.fingerprint;
    result.rawHash = fetched.rawHash;
    finish(task);
}

// A 5xx or a 429: the host is paused for the time it asked for, or, after a
// row of such answers, for a time that doubles with each; one that wants
// longer than the check waits is left alone. A 429 or 503 is asked again
// while it has tries left. False when the page went back into the queue.
bool Worker::judgeBusy(const PageQueue::Task &task, PageCheckResult &result, const PageFetchResult &fetched)
{
    using std::chrono::milliseconds;
    const PageCheckOptions &options = m_state.options;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const int streak = m_state.queue.busyAnswer(task.host);
    const std::optional<qint64> asked = retryAfterSeconds(fetched.retryAfter, now);
    const qint64 maxWait = qMax<qint64>(options.maxWait.count(), 0);
    const QString answer = statusOf(fetched.statusLine);
    // In seconds first: a Retry-After may be any number.
    if (asked && *asked > maxWait / 1000) {
        result.verdict = m_state.queue.settleHost(
            task.host, PageVerdict::unreachable(answer + QStringLiteral(" (asked to wait until ") +
                                                untilText(now, *asked) + QLatin1Char(')')));
        return true;
    }
    milliseconds wait(asked ? *asked * 1000 : 0);
    if (streak >= options.busyAnswersBeforePause) {
        qint64 grown = qMax<qint64>(options.defaultRetry.count(), 1);
        for (int i = options.busyAnswersBeforePause; i < streak && grown <= maxWait; ++i)
            grown *= 2;
        if (grown > maxWait) {
            result.verdict = m_state.queue.settleHost(
                task.host,
                PageVerdict::unreachable(answer + QStringLiteral(" (%1 such answers in a row)").arg(streak)));
            return true;
        }
        wait = std::max(wait, milliseconds(grown));
    }
    if (wait.count() > 0)
        m_state.queue.pauseHost(task.host, wait);
    const int code = fetched.statusCode;
    if ((code == 429 || code == 503) && result.tries < options.maxTries && !stopped()) {
        m_state.queue.retryLater(task.host, task.index, wait.count() > 0 || asked ? wait : options.defaultRetry);
        return false;
    }
    result.verdict = PageVerdict::unreachable(answer);
    return true;
}

void Worker::finish(const PageQueue::Task &task)
{
    m_state.queue.pageDone(task.host);
    m_state.judged(task.index);
}

} // namespace

PageChecker::PageChecker(PageCheckOptions options) : m_options(options)
{
    m_options.workers = qMax(m_options.workers, 1);
    m_options.perHost = qMax(m_options.perHost, 1);
    m_options.maxTries = qMax(m_options.maxTries, 1);
}

QList<PageCheckResult> PageChecker::check(const QList<PageCheckInput> &pages)
{
    std::vector<PageCheckResult> results(size_t(pages.size()));
    std::vector<bool> told(size_t(pages.size()), false);
    QList<QByteArray> hosts;
    hosts.reserve(pages.size());
    for (const PageCheckInput &page : pages)
        hosts.append(hostKey(page.url));
    PageQueue queue(hosts, m_options.perHost);

    QObject caller;
    const auto tell = [&](int index) {
        if (told[size_t(index)])
            return;
        told[size_t(index)] = true;
        if (onResult)
            onResult(index, results[size_t(index)]);
    };
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (!hosts.at(i).isEmpty())
            continue;
        results[size_t(i)].url = results[size_t(i)].finalUrl = pages.at(i).url;
        results[size_t(i)].verdict = PageVerdict::unreachable(QStringLiteral("not an absolute http(s) address"));
        tell(int(i));
    }

    // A page's result waits at most this long to be told.
    QTimer gatherer;
    gatherer.setSingleShot(true);
    gatherer.setInterval(20);
    CheckState state{pages, m_options, results, queue, &caller, tell, {}, {}, false, &gatherer};
    QObject::connect(&gatherer, &QTimer::timeout, &caller, [&state] { state.tellGathered(); });
    std::vector<std::unique_ptr<Worker>> workers;
    // A loop of its own, not processEvents(WaitForMoreEvents): that may go on
    // waiting after it handled the last worker's end, and nothing else comes.
    QEventLoop loop;
    int running = 0;
    const int wanted = int(qMin<qsizetype>(m_options.workers, pages.size()));
    for (int i = 0; i < wanted; ++i) {
        workers.push_back(std::make_unique<Worker>(state));
        QObject::connect(workers.back().get(), &QThread::finished, &caller, [&] {
            if (--running == 0)
                loop.quit();
        });
        ++running;
        workers.back()->start();
    }
    // Stop is polled here, on the caller's thread; the workers see it through the queue.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &caller, [&] {
        if (stopRequested && stopRequested())
            queue.stop();
    });
    if (stopRequested)
        poll.start(100);
    if (running > 0)
        loop.exec();
    // The loop also ends when the application quits: then the check stops.
    if (running > 0)
        queue.stop();
    poll.stop();
    gatherer.stop();
    for (const auto &worker : workers)
        worker->wait();
    // The results judged last are told before the check returns.
    state.tellJudged();

    QList<PageCheckResult> list;
    list.reserve(pages.size());
    for (size_t i = 0; i < results.size(); ++i) {
        if (!told[i]) {
            results[i].url = pages.at(qsizetype(i)).url;
            if (results[i].finalUrl.isEmpty())
                results[i].finalUrl = results[i].url;
            results[i].verdict = PageVerdict::unreachable(QStringLiteral("stopped"));
            tell(int(i));
        }
        list.append(results[i]);
    }
    return list;
}

} // namespace checks
