#include "core/download/websession.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace pm {

namespace {
// Set on a reply whose server asked for a sign-in once the session's answer
// has been sent.
const char* const kAnsweredProperty = "pullmarkSignInAnswered";

bool isWebScheme(const QString& scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// "scheme://host:port", the part of an address a browser calls its origin.
QUrl originOf(const QUrl& url)
{
    QUrl origin = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    if (origin.port() == (url.scheme() == QLatin1String("https") ? 443 : 80))
        origin.setPort(-1);
    return origin;
}

// One server's protected area.
QString signInKey(const QUrl& url, const QString& realm)
{
    return originOf(url).toString(QUrl::FullyEncoded).toLower() + QLatin1Char('\n') + realm;
}
}  // namespace

QByteArray referrerFor(const QUrl& page, const QUrl& target)
{
    const QString from = page.scheme().toLower();
    if (!page.isValid() || page.host().isEmpty() || !isWebScheme(from))
        return {};
    if (from == QLatin1String("https") && target.scheme().toLower() == QLatin1String("http"))
        return {};
    if (originOf(page) == originOf(target))
        return page.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment).toEncoded();
    return originOf(page).toEncoded() + '/';
}

WebSession::WebSession(UserInteraction& ui, QObject* parent)
    : QObject(parent), m_ui(ui), m_cookies(new SessionCookieJar(this))
{
}

void WebSession::attach(QNetworkAccessManager* manager)
{
    // One jar for every manager: a manager takes ownership of its jar, so
    // the session takes it back.
    manager->setCookieJar(m_cookies);
    m_cookies->setParent(this);
    connect(manager, &QNetworkAccessManager::authenticationRequired, this, &WebSession::answerSignIn);
}

void WebSession::prepare(QNetworkRequest& request, const QString& foundOn) const
{
    if (!m_userAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    if (const QByteArray referrer = referrerFor(QUrl(foundOn), request.url()); !referrer.isEmpty())
        request.setRawHeader("Referer", referrer);
}

QList<QPair<QByteArray, QByteArray>> WebSession::requestHeaders(const QUrl& target, const QString& foundOn) const
{
    QList<QPair<QByteArray, QByteArray>> headers;
    if (!m_userAgent.isEmpty())
        headers.append({"User-Agent", m_userAgent.toUtf8()});
    if (const QByteArray referrer = referrerFor(QUrl(foundOn), target); !referrer.isEmpty())
        headers.append({"Referer", referrer});
    QByteArray cookies;
    for (const QNetworkCookie& cookie : m_cookies->cookiesForUrl(target)) {
        if (!cookies.isEmpty())
            cookies += "; ";
        cookies += cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    }
    if (!cookies.isEmpty())
        headers.append({"Cookie", cookies});
    return headers;
}

void WebSession::keepCookies(const QUrl& url, const QList<QByteArray>& setCookieValues)
{
    QList<QNetworkCookie> cookies;
    for (const QByteArray& value : setCookieValues)
        cookies += QNetworkCookie::parseCookies(value);
    if (!cookies.isEmpty())
        m_cookies->setCookiesFromUrl(cookies, url);
}

std::optional<SignIn> WebSession::signInFor(const QUrl& url, const QString& realm) const
{
    return m_signIns.value(signInKey(url, realm));
}

void WebSession::signInRefused(const QUrl& url, const QString& realm)
{
    m_signIns.remove(signInKey(url, realm));
}

void WebSession::answerSignIn(QNetworkReply* reply, QAuthenticator* authenticator)
{
    const std::optional<SignIn> known = signInFor(reply->url(), authenticator->realm());
    if (!known)
        return;  // not asked yet, or declined: the transfer ends with the server's 401
    if (reply->property(kAnsweredProperty).toBool()) {
        signInRefused(reply->url(), authenticator->realm());
        return;
    }
    reply->setProperty(kAnsweredProperty, true);
    authenticator->setUser(known->user);
    authenticator->setPassword(known->password);
}

bool WebSession::askSignIn(const QUrl& url, const QString& realm)
{
    const QString key = signInKey(url, realm);
    if (const auto known = m_signIns.constFind(key); known != m_signIns.constEnd())
        return known->has_value();
    // Another download of the same area, while the user is being asked,
    // fails as it would without an answer instead of asking a second time.
    if (key == m_asking)
        return false;
    m_asking = key;
    const std::optional<SignIn> answer = m_ui.askSignIn(originOf(url).toString(), realm);
    m_asking.clear();
    m_signIns.insert(key, answer);
    return answer.has_value();
}

void WebSession::answerPageSignIn(const QUrl& url, QAuthenticator* authenticator)
{
    const std::optional<SignIn> answer = m_ui.askSignIn(originOf(url).toString(), authenticator->realm());
    if (!answer) {
        *authenticator = QAuthenticator();  // what tells the browser to give up
        return;
    }
    authenticator->setUser(answer->user);
    authenticator->setPassword(answer->password);
    m_signIns.insert(signInKey(url, authenticator->realm()), answer);
}

}  // namespace pm
