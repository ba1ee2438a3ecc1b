#pragma once
// How the program's transfers present themselves to servers: as the
// browser would. They carry the browser's cookies (SessionCookieJar), its
// user agent and, as Referer, the page an address was found on. A server
// that asks for a user name and password gets the ones the user gave for
// its protected area in this run; for a download the user is asked once.
// The program makes one session; the downloads' engine asks it for each
// request's headers and hands it each answer's cookies, and every
// QNetworkAccessManager (the probes') is attached to it. Without a session a
// transfer is a plain request.

#include "core/download/sessioncookiejar.h"
#include "core/userinteraction.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>

#include <optional>

class QAuthenticator;
class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace pm {

// The Referer a browser sends when `page` asks for `target` (the policy
// "strict-origin-when-cross-origin"): the page's address without fragment or
// user name when both have one origin, the page's origin alone for another,
// and nothing from https to http or when the page is not a web page.
QByteArray referrerFor(const QUrl& page, const QUrl& target);

class WebSession : public QObject {
    Q_OBJECT
public:
    explicit WebSession(UserInteraction& ui, QObject* parent = nullptr);

    SessionCookieJar& cookies() { return *m_cookies; }
    void setUserAgent(const QString& userAgent) { m_userAgent = userAgent; }
    QString userAgent() const { return m_userAgent; }

    // Makes `manager` send and keep the session's cookies, and answer a
    // server's request for a sign-in with the one the user gave in this run.
    void attach(QNetworkAccessManager* manager);
    // Gives `request` the browser's user agent and, from `foundOn` (the page
    // the address was found on; "" when none is known), its Referer.
    void prepare(QNetworkRequest& request, const QString& foundOn) const;
    // The headers a request for `target` carries besides: the user agent,
    // the Referer from `foundOn`, and the cookies the jar holds for it.
    QList<QPair<QByteArray, QByteArray>> requestHeaders(const QUrl& target, const QString& foundOn) const;
    // Keeps the cookies of an answer from `url` (its Set-Cookie values).
    void keepCookies(const QUrl& url, const QList<QByteArray>& setCookieValues);

    // The sign-in to answer `url`'s request for one to `realm` with: the one
    // the user gave for that server and realm in this run, if any.
    std::optional<SignIn> signInFor(const QUrl& url, const QString& realm) const;
    // The server refused that sign-in: the next download asks the user again.
    void signInRefused(const QUrl& url, const QString& realm);

    // A transfer from `url` was refused for want of a sign-in to `realm`.
    // The user is asked unless that server and realm were asked about in
    // this run. Returns whether there is a sign-in to try again with.
    bool askSignIn(const QUrl& url, const QString& realm);
    // A page of `url` asks for a sign-in: the user is asked each time (the
    // browser asks again only when its answer was refused), and downloads
    // from that server and realm use the answer too. No answer cancels.
    void answerPageSignIn(const QUrl& url, QAuthenticator* authenticator);

private:
    void answerSignIn(QNetworkReply* reply, QAuthenticator* authenticator);

    UserInteraction& m_ui;
    SessionCookieJar* m_cookies;
    QString m_userAgent;
    // By server and realm: the user's answer; nullopt when the user declined.
    QHash<QString, std::optional<SignIn>> m_signIns;
    QString m_asking;  // the server and realm the user is being asked for
};

}  // namespace pm
