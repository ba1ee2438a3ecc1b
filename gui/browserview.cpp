#include "gui/browserview.h"

#include "core/programpages.h"
#include "gui/scanpage.h"

#include <QPointer>

static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

namespace pm {

BrowserView::BrowserView(QWebEngineProfile* profile, QWidget* parent) : QWebEngineView(parent)
{
    initGuiResources();
    usePage(profile);
}

void BrowserView::setProfile(QWebEngineProfile* profile)
{
    const QPointer<ScanPage> old = m_page;
    usePage(profile);
    delete old;  // unless setPage() took it away already
}

void BrowserView::usePage(QWebEngineProfile* profile)
{
    m_page = new ScanPage(profile, this);
    setPage(m_page);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool) { emit loadEnded(); });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this] { emit addressCommitted(); });
    connect(m_page, &QWebEnginePage::authenticationRequired, this, &BrowserView::signInRequested);
}

BrowserView::~BrowserView()
{
    // The page must go before the profile it was made with.
    delete m_page;
}

QUrl BrowserView::startPageUrl()
{
    return QUrl(QString::fromLatin1(kStartPageAddress));
}

void BrowserView::navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    load(url.isValid() ? url : QUrl(QStringLiteral("about:blank")));
}

bool BrowserView::isBusy() const
{
    return page()->isLoading();
}

}  // namespace pm
