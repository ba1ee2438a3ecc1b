#pragma once
// The embedded web browser: the operations, properties and events the main
// window relies on, over Qt WebEngine.

#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;

namespace pm {

class Browser : public QWebEngineView {
    Q_OBJECT
public:
    // `profile` must outlive the browser; tests pass an off-the-record one.
    explicit Browser(QWebEngineProfile* profile, QWidget* parent = nullptr);
    ~Browser() override;

    // The page GoHome opens: the start page shipped with the program.
    static QUrl defaultHomeUrl();
    void setHomeUrl(const QUrl& url) { m_homeUrl = url; }
    QUrl homeUrl() const { return m_homeUrl; }

    void Navigate(const QString& address);
    void GoBack();
    void GoForward();
    void GoHome();
    void Refresh();
    void Stop();

    bool Busy() const;
    QString LocationName() const;
    QString LocationURL() const;

    // How many loads have started; a result read from the page belongs to the
    // load with this number.
    int loadGeneration() const { return m_loadGeneration; }

signals:
    // A load of the page ended: finished, failed or stopped.
    void DownloadComplete();
    // The page's address changed after a committed navigation.
    void NavigateComplete2();

private:
    QUrl m_homeUrl;
    int m_loadGeneration = 0;
};

}  // namespace pm
