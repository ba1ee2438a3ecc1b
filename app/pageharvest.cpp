#include "app/pageharvest.h"

#include "core/found/linkedpages.h"
#include "gui/hiddenscanpage.h"
#include "gui/linkedpageharvest.h"
#include "gui/pagescanner.h"

#include <QWebEngineLoadingInfo>

namespace pm {


PageHarvest::PageHarvest(QWebEngineProfile* profile, const Settings& settings, ErrorReporter& errors, QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_page(new HiddenScanPage(profile, /*loadImages=*/true, this)),
      m_scanner(new PageScanner(*m_page, settings, errors, this)),
      m_linked(new LinkedPageHarvest(profile, settings, errors, this))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &PageHarvest::timedOut);
    connect(m_scanner, &PageScanner::listReady, this, &PageHarvest::listReady);
    connect(m_scanner, &PageScanner::scanEnded, this, &PageHarvest::scanEnded);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &PageHarvest::loadingChanged);
    connect(m_linked, &LinkedPageHarvest::pageRead, this,
            [this](const QString& page, const QString& address, const QStringList& files) {
                addFound(address, files);
                emit pageRead(page, int(files.size()));
            });
    connect(m_linked, &LinkedPageHarvest::pageFailed, this, &PageHarvest::linkedPageFailed);
    // Queued: a stop ends the linked pages at once, and what was found comes
    // out only once whoever stopped it has seen to the rest.
    connect(m_linked, &LinkedPageHarvest::finished, this, &PageHarvest::loadNext, Qt::QueuedConnection);
}

PageHarvest::~PageHarvest()
{
    // The scanner reads the page: it goes first.
    delete m_scanner;
    delete m_page;
}

void PageHarvest::start(const QStringList& pages)
{
    m_pages = pages;
    m_next = 0;
    QTimer::singleShot(0, this, &PageHarvest::loadNext);
}

void PageHarvest::stop()
{
    m_stopping = true;
    if (!m_current.isEmpty())
        m_page->triggerAction(QWebEnginePage::Stop);  // the load's end reads what there is
    if (m_linked->isRunning())
        m_linked->stop();
}

void PageHarvest::loadNext()
{
    if (m_stopping || m_next >= m_pages.size()) {
        emit finished(m_found);
        return;
    }
    m_current = m_pages.at(m_next++);
    m_pageList.clear();
    m_pageKeys.clear();
    m_documentUrl = m_current;
    m_loadError.reset();
    m_stoppedInTime = true;
    emit pageStarted(m_current, m_next, int(m_pages.size()));
    m_timeout.start(kPageTimeoutMs);
    m_page->load(QUrl(m_current));
}

void PageHarvest::loadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
        m_loadError = loadFailureText(info);
}

void PageHarvest::listReady(const ScanResult& result)
{
    if (m_current.isEmpty())
        return;
    if (result.firstOfLoad) {
        m_pageList.clear();
        m_pageKeys.clear();
    }
    if (!result.pageUrl.isEmpty())
        m_documentUrl = result.pageUrl;
    for (const QString& url : result.urls) {
        if (!m_pageKeys.contains(url)) {
            m_pageKeys.insert(url);
            m_pageList << url;
        }
    }
}

void PageHarvest::scanEnded(ScanTrigger trigger, bool)
{
    if (trigger == ScanTrigger::LoadEnded && !m_current.isEmpty())
        endPage();
}

void PageHarvest::timedOut()
{
    if (m_current.isEmpty())
        return;
    if (m_stoppedInTime) {
        // Stopped, the load ends, and what the page shows is read then.
        m_stoppedInTime = false;
        emit pageStopped(m_current);
        m_timeout.start(kStopTimeoutMs);
        m_page->triggerAction(QWebEnginePage::Stop);
        return;
    }
    m_loadError = tr("the page did not end loading");
    endPage();
}

void PageHarvest::endPage()
{
    m_timeout.stop();
    const QString page = std::exchange(m_current, QString());
    if (m_loadError) {
        emit pageFailed(page, *m_loadError);
        QTimer::singleShot(0, this, &PageHarvest::loadNext);
        return;
    }
    addFound(m_documentUrl, m_pageList);
    emit pageRead(page, int(m_pageList.size()));
    followLinks();
}

void PageHarvest::followLinks()
{
    const QStringList linked = m_followLinks && !m_stopping
                                   ? linkedPagesToFollow(m_documentUrl, m_scanner->pageLinks(),
                                                         LinkedPageRules::from(m_settings))
                                   : QStringList();
    if (linked.isEmpty()) {
        QTimer::singleShot(0, this, &PageHarvest::loadNext);
        return;
    }
    emit followingLinks(m_documentUrl, int(linked.size()));
    m_linked->start(linked);  // loadNext() follows its end
}

void PageHarvest::addFound(const QString& page, const QStringList& files)
{
    FoundOnPage found{page, {}};
    for (const QString& url : files) {
        if (!m_foundKeys.contains(url.toCaseFolded())) {
            m_foundKeys.insert(url.toCaseFolded());
            found.files << url;
        }
    }
    if (!found.files.isEmpty())
        m_found << found;
}

}  // namespace pm
