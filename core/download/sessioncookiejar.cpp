#include "core/download/sessioncookiejar.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace pm {

namespace {
const QByteArray kFileHeader = "# Pullmark: the persistent cookies its downloads send\n";

bool expired(const QNetworkCookie& cookie)
{
    return !cookie.isSessionCookie() && cookie.expirationDate() <= QDateTime::currentDateTimeUtc();
}
}  // namespace

SessionCookieJar::SessionCookieJar(QObject* parent) : QNetworkCookieJar(parent)
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(kSaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &SessionCookieJar::save);
}

SessionCookieJar::~SessionCookieJar()
{
    if (m_saveTimer.isActive())
        save();
}

void SessionCookieJar::setFileName(const QString& fileName)
{
    if (m_saveTimer.isActive())
        save();
    m_fileName = fileName;
    load();
}

void SessionCookieJar::load()
{
    QFile file(m_fileName);
    if (m_fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(line)) {
            if (!cookie.isSessionCookie() && !expired(cookie))
                QNetworkCookieJar::insertCookie(cookie);
        }
    }
}

bool SessionCookieJar::save()
{
    m_saveTimer.stop();
    if (m_fileName.isEmpty())
        return true;
    QByteArray content = kFileHeader;
    for (const QNetworkCookie& cookie : allCookies()) {
        if (!cookie.isSessionCookie() && !expired(cookie))
            content += cookie.toRawForm(QNetworkCookie::Full) + '\n';
    }
    // A sign-in is a secret: the file is the user's alone.
    QSaveFile file(m_fileName);
    return file.open(QIODevice::WriteOnly) && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write(content) == content.size() && file.commit();
}

std::optional<QNetworkCookie> SessionCookieJar::held(const QNetworkCookie& cookie) const
{
    const QList<QNetworkCookie> all = allCookies();
    const auto found = std::find_if(all.cbegin(), all.cend(),
                                    [&](const QNetworkCookie& c) { return c.hasSameIdentifier(cookie); });
    return found == all.cend() ? std::nullopt : std::optional<QNetworkCookie>(*found);
}

void SessionCookieJar::changed(const QNetworkCookie& cookie)
{
    if (!cookie.isSessionCookie())
        m_saveTimer.start();
}

bool SessionCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    if (held(cookie) == cookie)
        return true;  // nothing new
    const bool inserted = QNetworkCookieJar::insertCookie(cookie);  // replaces the old one through deleteCookie()
    if (inserted)
        changed(cookie);
    return inserted;
}

bool SessionCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    const std::optional<QNetworkCookie> old = held(cookie);
    if (!old || !QNetworkCookieJar::deleteCookie(cookie))
        return false;
    changed(*old);
    return true;
}

bool SessionCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url)
{
    bool added = false;
    for (QNetworkCookie cookie : cookies) {
        cookie.normalize(url);
        if (!validateCookie(cookie, url))
            continue;
        added = insertCookie(cookie) || added;  // one that has expired removes the cookie
        if (!expired(cookie)) {
            m_echoes.append(cookie);
            if (m_echoes.size() > kMostEchoes)
                m_echoes.removeFirst();
        }
        emit setByServer(cookie, url);
    }
    return added;
}

void SessionCookieJar::browserCookieAdded(const QNetworkCookie& cookie)
{
    // The echo of a cookie the jar handed over: the jar may hold a newer one.
    const auto echo = std::find_if(m_echoes.begin(), m_echoes.end(), [&](const QNetworkCookie& c) {
        return c.hasSameIdentifier(cookie) && c.value() == cookie.value();
    });
    if (echo != m_echoes.end()) {
        m_echoes.erase(echo);
        return;
    }
    insertCookie(cookie);
}

void SessionCookieJar::browserCookieRemoved(const QNetworkCookie& cookie)
{
    // The browser removes its old value before it takes one the jar handed
    // over; and the removal of a value the jar no longer holds is old news.
    const bool replacedByOurs = std::any_of(m_echoes.cbegin(), m_echoes.cend(),
                                            [&](const QNetworkCookie& c) { return c.hasSameIdentifier(cookie); });
    const std::optional<QNetworkCookie> old = held(cookie);
    if (!replacedByOurs && old && old->value() == cookie.value())
        deleteCookie(cookie);
}

void SessionCookieJar::clear()
{
    setAllCookies({});
    m_echoes.clear();
    save();
}

}  // namespace pm
