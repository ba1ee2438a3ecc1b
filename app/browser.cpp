#include "app/browser.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace pm {

Browser::Browser(QWebEngineProfile* profile, QWidget* parent)
    : QWebEngineView(parent), m_homeUrl(defaultHomeUrl())
{
    setPage(new QWebEnginePage(profile, this));
    connect(page(), &QWebEnginePage::loadStarted, this, [this] { ++m_loadGeneration; });
    connect(page(), &QWebEnginePage::loadFinished, this, [this](bool) { emit DownloadComplete(); });
    connect(page(), &QWebEnginePage::urlChanged, this, [this](const QUrl&) { emit NavigateComplete2(); });
}

Browser::~Browser()
{
    // The page must go before the profile it was made with.
    delete page();
}

QUrl Browser::defaultHomeUrl()
{
    return QUrl(QStringLiteral("qrc:/pullmark/start.html"));
}

void Browser::Navigate(const QString& address)
{
    const QUrl url = QUrl::fromUserInput(address);
    load(url.isValid() ? url : QUrl(QStringLiteral("about:blank")));
}

void Browser::GoBack()
{
    back();
}

void Browser::GoForward()
{
    forward();
}

void Browser::GoHome()
{
    load(m_homeUrl);
}

void Browser::Refresh()
{
    reload();
}

void Browser::Stop()
{
    stop();
}

bool Browser::Busy() const
{
    return page()->isLoading();
}

QString Browser::LocationName() const
{
    return page()->title();
}

QString Browser::LocationURL() const
{
    return page()->url().toString();
}

}  // namespace pm
