#include "gui/linkedpageharvest.h"

#include "core/config/settings.h"
#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/errorreporter.h"
#include "gui/hiddenscanpage.h"
#include "gui/pagescanner.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEngineScript>

#include <algorithm>

namespace pm {

// One hidden page and its scanner, reading one page of the list at a time.
struct LinkedPageHarvest::Reader {
    HiddenScanPage* page = nullptr;  // the scanner and the timer are its children
    PageScanner* scanner = nullptr;
    QTimer* timer = nullptr;         // the time limit, then the settling time
    int index = -1;                  // the page being read; -1: none
    // Its load has started: what the scanner says from now on is of this
    // page, not of the one read before.
    bool started = false;
    QString address;                 // where its document is (after redirects)
    QStringList found;               // its latest list
    bool listed = false;             // a list of it has been read
    std::optional<QString> failure;  // why its load failed
    bool checkingType = false;       // its load ended; its document's type is being asked
};

LinkedPageHarvest::LinkedPageHarvest(QWebEngineProfile* profile, const Settings& settings, ErrorReporter& errors,
                                     QObject* parent)
    : QObject(parent), m_profile(profile), m_settings(settings), m_errors(errors)
{
}

LinkedPageHarvest::~LinkedPageHarvest()
{
    for (const std::unique_ptr<Reader>& reader : m_readers) {
        disconnectReader(*reader);
        delete reader->page;
    }
}

std::unique_ptr<LinkedPageHarvest::Reader> LinkedPageHarvest::makeReader()
{
    auto reader = std::make_unique<Reader>();
    Reader* r = reader.get();
    r->page = new HiddenScanPage(m_profile, m_settings.imagesAsShown, this);
    r->scanner = new PageScanner(*r->page, m_settings, m_errors, r->page);
    r->scanner->setEmbeddedAlways(true);
    r->scanner->setQuiet(true);
    r->timer = new QTimer(r->page);
    r->timer->setSingleShot(true);
    connect(r->timer, &QTimer::timeout, this, [this, r] { timeUp(*r); });
    // Connected after the scanner, which forgets the page read before at
    // the same signal.
    connect(r->page, &QWebEnginePage::loadStarted, this, [r] { r->started = r->index >= 0; });
    connect(r->page, &QWebEnginePage::loadingChanged, this, [r](const QWebEngineLoadingInfo& info) {
        if (r->started && info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
            r->failure = loadFailureText(info);
    });
    connect(r->scanner, &PageScanner::listReady, this, [this, r](const ScanResult& result) {
        if (r->started)
            listReady(*r, result);
    });
    connect(r->scanner, &PageScanner::scanEnded, this, [this, r](ScanTrigger trigger, bool applied) {
        if (r->started && trigger == ScanTrigger::LoadEnded)
            loadEnded(*r, applied);
    });
    return reader;
}

void LinkedPageHarvest::start(const QStringList& pages)
{
    stop();
    m_pages = pages;
    m_outcomes = QList<std::optional<Outcome>>(pages.size());
    m_next = 0;
    m_handedOut = 0;
    m_done = 0;
    m_failed = 0;
    m_running = true;
    const int readers = std::min<int>(kPagesAtOnce, int(pages.size()));
    for (int i = 0; i < readers; ++i)
        m_readers.push_back(makeReader());
    // From the event loop, so that the caller has connected to the signals.
    const int run = ++m_run;
    QTimer::singleShot(0, this, [this, run] {
        if (run != m_run)
            return;  // stopped, or started again
        for (const std::unique_ptr<Reader>& reader : m_readers)
            readNext(*reader);
        endIfDone();
    });
}

void LinkedPageHarvest::stop()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_run;
    closeReaders();
    // The pages read out of order wait for the ones before them: they come
    // out now, in order, past the ones that were not read.
    for (; m_handedOut < m_outcomes.size(); ++m_handedOut) {
        const std::optional<Outcome>& outcome = m_outcomes.at(m_handedOut);
        if (outcome && outcome->read)
            emit pageRead(m_pages.at(m_handedOut), addressOf(m_handedOut, *outcome), outcome->found);
        else if (outcome)
            emit pageFailed(m_pages.at(m_handedOut), outcome->reason);
    }
    m_outcomes.clear();
    emit finished();
}

void LinkedPageHarvest::disconnectReader(Reader& reader)
{
    // Closing a page may still run its scripts' callbacks: nothing of them
    // reaches this any more.
    disconnect(reader.page, nullptr, this, nullptr);
    disconnect(reader.scanner, nullptr, this, nullptr);
    disconnect(reader.timer, nullptr, this, nullptr);
}

void LinkedPageHarvest::closeReader(Reader& reader)
{
    disconnectReader(reader);
    reader.timer->stop();
    // Later: this may run inside one of the page's own signals.
    reader.page->deleteLater();
}

void LinkedPageHarvest::closeReaders()
{
    for (const std::unique_ptr<Reader>& reader : m_readers)
        closeReader(*reader);
    m_readers.clear();
}

void LinkedPageHarvest::readNext(Reader& reader)
{
    if (!m_running || m_next >= m_pages.size())
        return;
    reader.index = m_next++;
    reader.started = false;
    reader.checkingType = false;
    reader.address.clear();
    reader.found.clear();
    reader.listed = false;
    reader.failure.reset();
    reader.timer->start(m_timeLimitMs);
    reader.page->load(QUrl(m_pages.at(reader.index)));
}

void LinkedPageHarvest::listReady(Reader& reader, const ScanResult& result)
{
    if (reader.index < 0)
        return;
    reader.found = result.urls;
    reader.address = result.pageUrl;
    const bool loadEnded = result.trigger == ScanTrigger::LoadEnded;
    // The page's document is in: its load gets a little longer to bring its
    // frames and its status, no more.
    if (!reader.listed && !loadEnded && reader.timer->remainingTime() > kSettleMs)
        reader.timer->start(kSettleMs);
    reader.listed = true;
}

void LinkedPageHarvest::loadEnded(Reader& reader, bool applied)
{
    if (reader.index < 0 || reader.checkingType)
        return;
    if (reader.failure || (!applied && !reader.listed)) {
        finishPage(reader, {false, {}, {}, reader.failure.value_or(tr("not an HTML page"))});
        return;
    }
    // The browser shows a text or a picture in an HTML document of its own:
    // what the server sent tells a page from a file.
    reader.checkingType = true;
    const QPointer<HiddenScanPage> page(reader.page);
    reader.page->runJavaScript(
        QStringLiteral("document.contentType"), QWebEngineScript::ApplicationWorld, [this, page](const QVariant& type) {
            if (!page)
                return;
            // Out of the browser's callback: the next page loads from here.
            QMetaObject::invokeMethod(
                this, [this, page, type = type.toString()] { typeChecked(page, type); }, Qt::QueuedConnection);
        });
}

void LinkedPageHarvest::typeChecked(HiddenScanPage* page, const QString& type)
{
    // The page may have been given up or closed meanwhile.
    const auto it = std::find_if(m_readers.begin(), m_readers.end(), [&](const auto& r) { return r->page == page; });
    if (it == m_readers.end() || !(*it)->checkingType)
        return;
    Reader& reader = **it;
    reader.checkingType = false;
    if (type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml"))
        finishPage(reader, {true, reader.address, reader.found, {}});
    else
        finishPage(reader, {false, {}, {}, tr("not an HTML page: %1").arg(type)});
}

void LinkedPageHarvest::timeUp(Reader& reader)
{
    if (reader.index < 0)
        return;
    Outcome outcome;
    if (reader.listed)
        outcome = {true, reader.address, reader.found, {}};
    else
        outcome.reason = tr("not read within %1 s").arg(m_timeLimitMs / 1000.0);
    // The load may go on: the next page gets a new hidden page.
    closeReader(reader);
    const int index = reader.index;
    auto it = std::find_if(m_readers.begin(), m_readers.end(), [&](const auto& r) { return r.get() == &reader; });
    *it = makeReader();
    (*it)->index = index;
    finishPage(**it, std::move(outcome));
}

void LinkedPageHarvest::finishPage(Reader& reader, Outcome outcome)
{
    const int index = std::exchange(reader.index, -1);
    reader.timer->stop();
    ++m_done;
    if (!outcome.read) {
        ++m_failed;
        m_errors.activityLog().write(
            QStringLiteral("Linked page not read: %1 (%2)").arg(m_pages.at(index), outcome.reason));
    }
    m_outcomes[index] = std::move(outcome);
    handOutInOrder();
    if (!m_running)
        return;
    emit progressed(m_done, int(m_pages.size()));
    if (!m_running)
        return;
    readNext(reader);
    endIfDone();
}

void LinkedPageHarvest::handOutInOrder()
{
    while (m_running && m_handedOut < m_outcomes.size() && m_outcomes.at(m_handedOut)) {
        const int index = m_handedOut++;
        const Outcome outcome = std::move(*m_outcomes[index]);
        m_outcomes[index].reset();
        if (outcome.read)
            emit pageRead(m_pages.at(index), addressOf(index, outcome), outcome.found);
        else
            emit pageFailed(m_pages.at(index), outcome.reason);
    }
}

QString LinkedPageHarvest::addressOf(int index, const Outcome& outcome) const
{
    return outcome.address.isEmpty() ? m_pages.at(index) : outcome.address;
}

void LinkedPageHarvest::endIfDone()
{
    if (!m_running || m_done < m_pages.size())
        return;
    m_running = false;
    closeReaders();
    emit finished();
}

}  // namespace pm
