#pragma once
// The embedded web browser: a QWebEngineView over a ScanPage, with the
// start page as its home, and the events the main window acts on.

#include <QAuthenticator>
#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;

namespace pm {

class ScanPage;

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // `profile` must outlive the view; tests pass an off-the-record one.
    BrowserView(QWebEngineProfile* profile, QWidget* parent = nullptr);
    ~BrowserView() override;
    // Browses in `profile` from now on, with a new, empty page.
    void setProfile(QWebEngineProfile* profile);

    // The start page shipped with the program, which Home opens unless
    // another home is set.
    static QUrl startPageUrl();
    void setHomeUrl(const QUrl& url) { m_homeUrl = url; }
    QUrl homeUrl() const { return m_homeUrl; }

    // Loads what the user typed: a full address, a host name or a file path.
    void navigate(const QString& address);
    void goHome() { load(m_homeUrl); }
    bool isBusy() const;

    ScanPage* scanPage() const { return m_page; }

signals:
    // A load of the page ended: finished, failed or stopped.
    void loadEnded();
    // The page's address changed after a committed navigation.
    void addressCommitted();
    // A server asks for a user name and password for `url`: fill in
    // `authenticator`, or set it to a null QAuthenticator to cancel.
    void signInRequested(const QUrl& url, QAuthenticator* authenticator);

private:
    void usePage(QWebEngineProfile* profile);

    ScanPage* m_page = nullptr;
    QUrl m_homeUrl = startPageUrl();
};

}  // namespace pm
