#pragma once
// The browser's side of the web session: its profile kept on disk, and the
// link that keeps the transfers' session (WebSession, in the core) in step
// with a profile.

#include <QObject>
#include <QString>

class QWebEngineProfile;

namespace pm {

class WebSession;

// A browser profile kept in `folder`: cookies, site storage and cache, so
// that a sign-in survives a restart.
QWebEngineProfile* makeBrowserProfile(const QString& folder, QObject* parent = nullptr);

// Keeps `session` in step with `profile` while it lives: the browser's user
// agent, the browser's cookies in the transfers' jar as the store changes,
// and the cookies servers set in answer to transfers in the store. For a
// profile on disk the jar keeps its persistent cookies in the profile's
// folder, and the store is read at once.
class BrowserSessionLink : public QObject {
    Q_OBJECT
public:
    BrowserSessionLink(QWebEngineProfile* profile, WebSession& session, QObject* parent = nullptr);
    ~BrowserSessionLink() override;  // the jar's file is written and let go

    // Forgets every cookie, the browser's and the transfers', and empties
    // the browser's cache.
    void clearCookiesAndCache();
    // Gives the browser every cookie the transfers hold: a profile off the
    // record starts with none, and a run without a window reads its pages
    // with the sign-in the window's browser keeps.
    void shareTransferCookies();

private:
    QWebEngineProfile* m_profile;
    WebSession& m_session;
    bool m_keepsCookieFile = false;  // the jar's file is the profile's
};

}  // namespace pm
