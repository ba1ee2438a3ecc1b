#pragma once
// The main window's Harvest Linked Pages command: from the links of the
// page on display it picks the pages to read, runs a LinkedPageHarvest over
// them and adds what each holds to the found list, saying on the status
// line how far it is. Stop (the browser's button, or Escape) ends it and
// keeps what was found; another page ends it without a word.

#include <QObject>
#include <QStringList>

class QShortcut;
class QUrl;
class QWebEngineProfile;
class QWidget;

namespace pm {

class AppContext;
class FoundListPanel;
class LinkedPageHarvest;

class LinkedPagesCommand : public QObject {
    Q_OBJECT
public:
    // Escape stops a running harvest in `window`.
    LinkedPagesCommand(AppContext& context, FoundListPanel& foundList, QWidget* window);

    // Reads the pages `links` of the page `pageUrl` lead to (those the
    // settings follow), in `profile`, the browser's. Does nothing while a
    // harvest runs.
    void start(QWebEngineProfile* profile, const QUrl& pageUrl, const QStringList& links);
    // Ends a running harvest; the status tells how far it came.
    void stop();
    // Ends a running harvest for another page: the status says nothing of it.
    void drop();
    bool isRunning() const;

    // The harvest running or last run; null before the first.
    LinkedPageHarvest* harvest() const { return m_harvest; }
    // The time each linked page gets (tests shorten it); 0: the harvest's own.
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

signals:
    void runningChanged(bool running);
    // Every page read or failed, or the harvest stopped (not dropped).
    void finished();

private:
    void showProgress();
    void ended();

    AppContext& m_context;
    FoundListPanel& m_foundList;
    QShortcut* m_stopKey;
    LinkedPageHarvest* m_harvest = nullptr;
    int m_timeLimitMs = 0;
    int m_added = 0;  // entries the running harvest added to the list
};

}  // namespace pm
