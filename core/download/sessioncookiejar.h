#pragma once
// The cookies the program's transfers send and receive: the browser's
// (HttpOnly ones included), kept in step with the browser's cookie store,
// and the ones servers set in answer to a transfer, which go back to the
// browser. Persistent cookies are also kept in a file of the jar's own: after
// a restart the browser's store tells of its cookies only later, one by one,
// and the transfers must carry a sign-in from their first request.
//
// A cookie the jar hands to the browser comes back from the store as a
// removal of the old value and an addition of the new one. Those echoes are
// recognised and ignored, so that they never undo a newer value a server has
// set meanwhile.

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>
#include <QTimer>

namespace pm {

class SessionCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    explicit SessionCookieJar(QObject* parent = nullptr);
    ~SessionCookieJar() override;  // writes a change not saved yet

    // Keeps the persistent cookies in `fileName` and reads the ones it holds
    // ("": kept nowhere). The file is readable by the user only.
    void setFileName(const QString& fileName);
    QString fileName() const { return m_fileName; }
    // Writes the persistent cookies now, atomically; false when it fails.
    bool save();

    // The browser's cookie store added or removed a cookie.
    void browserCookieAdded(const QNetworkCookie& cookie);
    void browserCookieRemoved(const QNetworkCookie& cookie);
    // Forgets every cookie, the kept ones too.
    void clear();
    // Every cookie the jar holds.
    using QNetworkCookieJar::allCookies;

    // Takes the cookies of a server's answer as QNetworkCookieJar does, and
    // hands each to the browser through setByServer().
    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookies, const QUrl& url) override;

    // A change reaches the file this long after the last one.
    static constexpr int kSaveDelayMs = 1000;

signals:
    // A server's answer to a transfer from `url` set `cookie`; one that has
    // expired removes it. The browser's store takes it too.
    void setByServer(const QNetworkCookie& cookie, const QUrl& url);

protected:
    bool insertCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

private:
    // The cookie with `cookie`'s name, domain and path, if the jar holds one.
    std::optional<QNetworkCookie> held(const QNetworkCookie& cookie) const;
    void load();
    void changed(const QNetworkCookie& cookie);

    QString m_fileName;
    QTimer m_saveTimer;
    // Cookies handed to the browser whose echo has not come back yet; the
    // oldest are dropped past kMostEchoes (a cookie the browser refused
    // never echoes).
    QList<QNetworkCookie> m_echoes;
    static constexpr int kMostEchoes = 1000;
};

}  // namespace pm
