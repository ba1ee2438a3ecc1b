#include "gui/browsersession.h"

#include "core/config/filelocations.h"
#include "core/download/websession.h"

#include <QDir>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace pm {

QWebEngineProfile* makeBrowserProfile(const QString& folder, QObject* parent)
{
    auto* profile = new QWebEngineProfile(browserProfileName(), parent);
    profile->setPersistentStoragePath(folder);
    profile->setCachePath(QDir(folder).filePath(QStringLiteral("cache")));
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    return profile;
}

BrowserSessionLink::BrowserSessionLink(QWebEngineProfile* profile, WebSession& session, QObject* parent)
    : QObject(parent), m_profile(profile), m_session(session)
{
    session.setUserAgent(profile->httpUserAgent());
    SessionCookieJar& jar = session.cookies();
    m_keepsCookieFile = !profile->isOffTheRecord();
    if (m_keepsCookieFile)
        jar.setFileName(downloadCookieFile(profile->persistentStoragePath()));
    QWebEngineCookieStore* store = profile->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this,
            [&jar](const QNetworkCookie& cookie) { jar.browserCookieAdded(cookie); });
    connect(store, &QWebEngineCookieStore::cookieRemoved, this,
            [&jar](const QNetworkCookie& cookie) { jar.browserCookieRemoved(cookie); });
    // One that has expired removes the browser's cookie of that name.
    connect(&jar, &SessionCookieJar::setByServer, this,
            [store](const QNetworkCookie& cookie, const QUrl& url) { store->setCookie(cookie, url); });
    store->loadAllCookies();
}

BrowserSessionLink::~BrowserSessionLink()
{
    if (m_keepsCookieFile)
        m_session.cookies().setFileName(QString());
}

void BrowserSessionLink::shareTransferCookies()
{
    // The store's echo of each is the jar's own cookie again: nothing changes.
    QWebEngineCookieStore* store = m_profile->cookieStore();
    for (const QNetworkCookie& cookie : m_session.cookies().allCookies())
        store->setCookie(cookie);
}

void BrowserSessionLink::clearCookiesAndCache()
{
    m_session.cookies().clear();
    m_profile->cookieStore()->deleteAllCookies();
    m_profile->clearHttpCache();
}

}  // namespace pm
