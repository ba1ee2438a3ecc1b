#include "gui/pagescanner.h"

#include "core/config/settings.h"
#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/errorscope.h"
#include "gui/scanpage.h"

#include <QPointer>
#include <QWebEngineScript>

namespace pm {

namespace {

// The origin of an http or https address as a script names it
// ("http://host:port", the scheme's own port left out); empty for others.
QString originOf(const QUrl& url)
{
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return {};
    QUrl origin = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    if (origin.port() == (url.scheme() == QLatin1String("http") ? 80 : 443))
        origin.setPort(-1);
    return origin.toString(QUrl::FullyEncoded);
}

}  // namespace

PageScanner::PageScanner(ScanPage& page, const Settings& settings, ErrorReporter& errors, QObject* parent)
    : QObject(parent), m_page(page), m_settings(settings), m_errors(errors)
{
    qRegisterMetaType<pm::ScanResult>();
    m_clock.start();
    m_dueTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &PageScanner::startDueScan);
    connect(&page, &QWebEnginePage::loadStarted, this, &PageScanner::loadStarted);
    connect(&page, &QWebEnginePage::loadFinished, this, [this] { request(ScanTrigger::LoadEnded); });
    connect(&page, &ScanPage::documentParsed, this, [this] { request(ScanTrigger::DocumentParsed); });
    connect(&page, &ScanPage::documentChanged, this, [this] { request(ScanTrigger::Change); });
    connect(&page, &ScanPage::frameReported, this, &PageScanner::frameReported);
}

ScanRules PageScanner::rules() const
{
    ScanRules rules = ScanRules::from(m_settings);
    rules.embedded = rules.embedded || m_embeddedAlways;
    return rules;
}

bool PageScanner::report(ErrorScope& scope, const RuntimeError& error)
{
    if (!m_quiet)
        return scope.report(error);
    m_errors.log(error, QStringLiteral("DownloadComplete."));
    return true;
}

QStringList PageScanner::pageLinks() const
{
    const std::optional<PageScan> page = m_loadScans.rebuiltPage(rules());
    QStringList links;
    if (!page)
        return links;
    for (const ScannedDocument& doc : page->documents)
        links.append(doc.links);
    return links;
}

void PageScanner::loadStarted()
{
    m_loadScans.begin(m_page.loadGeneration());
    m_runningScan = 0;  // whatever it reads belongs to the earlier load
    m_dueTimer.stop();
    if (const std::optional<ScanTrigger> dropped = m_schedule.reset())
        emit scanEnded(*dropped, false);
}

void PageScanner::request(ScanTrigger trigger)
{
    // Before the first load the page holds no document of its own (its
    // empty placeholder is not one to scan).
    if (m_page.url().isEmpty()) {
        emit scanEnded(trigger, false);
        return;
    }
    // The classic scan lists what the page holds when its documents are
    // parsed and when its load ends, no more.
    if (trigger == ScanTrigger::Change && m_settings.classicScan)
        return;
    m_schedule.request(trigger);
    startDueScan();
}

void PageScanner::settingsChanged()
{
    if (rules() != m_lastRules)
        request(ScanTrigger::DocumentParsed);
}

void PageScanner::startDueScan()
{
    const qint64 now = m_clock.elapsed();
    if (const std::optional<ScanTrigger> trigger = m_schedule.start(now)) {
        startScan(*trigger);
        return;
    }
    const qint64 delay = m_schedule.delay(now);
    if (delay >= 0)
        m_dueTimer.start(int(delay));
}

void PageScanner::startScan(ScanTrigger trigger)
{
    const ScanRules listed = rules();
    m_lastRules = listed;
    // Links are read whatever the list takes: a harvest of linked pages
    // follows them.
    ScanRules read = listed;
    read.links = true;
    const int epoch = m_loadScans.prepareRead(read);
    const QString script = read.classic ? classicScanScript(read.links, read.embedded, epoch)
                                        : readerReadScript(m_page.token(), read, epoch);
    const int serial = ++m_scanSerial;
    const int generation = m_page.loadGeneration();
    m_runningScan = serial;
    QPointer<PageScanner> self(this);
    // The result is applied from an event of its own, not inside the browser's
    // callback: an error question may open a modal box there, and the browser
    // must go on working while it is open.
    m_page.runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [self, serial, trigger, generation](const QVariant& result) {
                             if (!self)
                                 return;
                             QMetaObject::invokeMethod(
                                 self,
                                 [self, serial, trigger, generation, result] {
                                     if (!self)
                                         return;
                                     const bool applied = self->applyScan(trigger, generation, result);
                                     if (!self)
                                         return;
                                     emit self->scanEnded(trigger, applied);
                                     if (self)
                                         self->endScan(serial);
                                 },
                                 Qt::QueuedConnection);
                         });
}

void PageScanner::endScan(int serial)
{
    // A read of an earlier load may end after a newer one started.
    if (serial != m_runningScan)
        return;
    m_runningScan = 0;
    m_schedule.finished();
    startDueScan();
}

bool PageScanner::applyScan(ScanTrigger trigger, int generation, const QVariant& result)
{
    // A result read before a newer load started belongs to a page no longer
    // on display.
    QPointer<PageScanner> self(this);
    auto stale = [self, generation] { return !self || generation != self->m_page.loadGeneration(); };
    if (stale())
        return false;
    PageScan page = parsePageScan(result);
    if (!page.hasDocument)
        return false;
    // A document read after the next load started, while the earlier page
    // was still on display, is the earlier page's.
    if (trigger != ScanTrigger::LoadEnded && QUrl(page.href) != m_page.loadUrl()) {
        m_loadScans.forgetReads();
        return false;
    }

    // Each problem is reported once per load, by the first scan that meets
    // it; the load's later scans act on the answer given then.
    ErrorScope scope(m_errors, QStringLiteral("DownloadComplete."));
    if (!page.error.isEmpty()) {  // not an HTML document: there is nothing to list
        if (!m_quiet && m_loadScans.firstNonHtmlReport())
            scope.report(RuntimeError::of(ErrTypeMismatch, page.error));
        return false;
    }
    if (!m_loadScans.resolve(page)) {
        request(trigger);  // reads every document again, once this read has ended
        return false;
    }

    const ScanRules listed = rules();
    m_loadScans.fillFrames(page, listed);
    FoundList found;
    if (const FoundList* same = m_loadScans.unchangedList(page, listed)) {
        found = *same;
    } else {
        bool dropped = false;
        found = buildFoundList(page, listed, [&](int position, const QString& error) {
            if (const std::optional<bool> answer = m_loadScans.answerFor(position))
                return *answer;
            // The frame is skipped and the scan goes on with the next one.
            const bool carryOn = report(scope, RuntimeError::of(ErrPermissionDenied, error));
            if (stale()) {  // a newer page arrived while the question was open
                dropped = true;
                return false;
            }
            m_loadScans.rememberAnswer(position, carryOn);
            return carryOn;
        });
        if (dropped)
            return false;
        m_loadScans.keepList(page, listed, found);
    }
    // Frames of other origins report themselves as they load: only a frame
    // still silent once the load has ended is one that cannot be read.
    if (found.skippedFrames > 0 && trigger != ScanTrigger::DocumentParsed && m_loadScans.firstSkippedFramesNote())
        m_errors.activityLog().write(QStringLiteral("Frames not read: %1 (%2 of the page's frames could not be read)")
                                         .arg(page.url, QString::number(found.skippedFrames)));
    publish(trigger, page, found);
    return true;
}

void PageScanner::frameReported(const QString& json)
{
    // The classic scan does not read other origins' frames; such a frame
    // has been parsed like any other.
    if (m_settings.classicScan) {
        request(ScanTrigger::DocumentParsed);
        return;
    }
    std::optional<FrameReport> report = parseFrameReport(json);
    if (!report)
        return;
    // A frame of the earlier page may still report after the next load
    // started.
    const QString origin = originOf(m_page.loadUrl());
    if (!origin.isEmpty() && !report->topOrigin.isEmpty() && report->topOrigin != origin)
        return;
    if (!m_loadScans.keepFrameReport(std::move(*report))) {
        request(ScanTrigger::DocumentParsed);  // a frame the list has not met yet
        return;
    }
    // A running read takes the report in when it is applied.
    if (!m_schedule.running())
        rebuildFromReports();
}

void PageScanner::rebuildFromReports()
{
    const ScanRules listed = rules();
    const std::optional<PageScan> page = m_loadScans.rebuiltPage(listed);
    if (!page)
        return;
    const FoundList found = buildFoundList(*page, listed, [](int, const QString&) { return true; });
    m_loadScans.keepList(*page, listed, found);
    publish(ScanTrigger::Change, *page, found);
    emit scanEnded(ScanTrigger::Change, true);
}

void PageScanner::publish(ScanTrigger trigger, const PageScan& page, const FoundList& found)
{
    ScanResult result;
    result.trigger = trigger;
    result.urls = found.urls;
    result.firstOfLoad = !m_loadScans.listShown();
    result.stopped = found.stopped;
    result.pageUrl = page.url;
    m_loadScans.setListShown();
    emit listReady(result);
}

}  // namespace pm
