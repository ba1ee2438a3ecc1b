#include "gui/browserview.h"

#include "core/programpages.h"
#include "gui/scanpage.h"

static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

namespace pm {

BrowserView::BrowserView(QWebEngineProfile* profile, QWidget* parent)
    : QWebEngineView(parent), m_page(new ScanPage(profile, this))
{
    initGuiResources();
    setPage(m_page);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool) { emit loadEnded(); });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this] { emit addressCommitted(); });
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
