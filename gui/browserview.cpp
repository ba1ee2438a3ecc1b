#include "gui/browserview.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>

static void initGuiResources()
{
    Q_INIT_RESOURCE(gui);
}

namespace pm {

BrowserView::BrowserView(QWebEngineProfile* profile, QWidget* parent) : QWebEngineView(parent)
{
    initGuiResources();
    setPage(new QWebEnginePage(profile, this));
    connect(page(), &QWebEnginePage::loadStarted, this, [this] { ++m_loadGeneration; });
    connect(page(), &QWebEnginePage::loadFinished, this, [this](bool) { emit loadEnded(); });
    connect(page(), &QWebEnginePage::urlChanged, this, [this](const QUrl&) { emit addressCommitted(); });
}

BrowserView::~BrowserView()
{
    // The page must go before the profile it was made with.
    delete page();
}

QUrl BrowserView::startPageUrl()
{
    return QUrl(QStringLiteral("qrc:/pullmark/start.html"));
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
