#pragma once
// The embedded web browser: a QWebEngineView with the start page as its
// home, and the events the main window acts on.

#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;

namespace pm {

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // `profile` must outlive the view; tests pass an off-the-record one.
    BrowserView(QWebEngineProfile* profile, QWidget* parent = nullptr);
    ~BrowserView() override;

    // The start page shipped with the program, which Home opens unless
    // another home is set.
    static QUrl startPageUrl();
    void setHomeUrl(const QUrl& url) { m_homeUrl = url; }
    QUrl homeUrl() const { return m_homeUrl; }

    // Loads what the user typed: a full address, a host name or a file path.
    void navigate(const QString& address);
    void goHome() { load(m_homeUrl); }
    bool isBusy() const;

    // How many loads have started; a result read from the page belongs to the
    // load with this number.
    int loadGeneration() const { return m_loadGeneration; }
    // The address the current load is for: the one asked for until the page's
    // address changes, then the page's own. A document whose address differs
    // is not this load's (the earlier page stays on display until the new
    // one replaces it).
    QUrl loadUrl() const { return m_loadUrl; }

signals:
    // A load of the page ended: finished, failed or stopped.
    void loadEnded();
    // The page's address changed after a committed navigation.
    void addressCommitted();
    // A document of the page, the page's own or a frame's, has been parsed:
    // its links and images exist, though images and frames may still load.
    void documentParsed();

private:
    QUrl m_homeUrl = startPageUrl();
    int m_loadGeneration = 0;
    QUrl m_loadUrl;
};

}  // namespace pm
