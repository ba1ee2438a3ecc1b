#pragma once
// Reads a page's found list, again and again while the page loads and
// changes: when one of its documents has been parsed, when its load ends,
// and, under the default scan, whenever it changes afterwards. It drives a
// ScanPage, the one on display or one loaded out of sight, and hands each
// list it builds to whoever shows or uses it. What is read when lives in
// ScanSchedule; what the list holds in the scraper's rules.

#include "core/found/loadscans.h"
#include "core/found/scanschedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

class QVariant;

namespace pm {

class ErrorReporter;
class ErrorScope;
class ScanPage;
struct RuntimeError;
class Settings;

// A found list a scan built.
struct ScanResult {
    ScanTrigger trigger = ScanTrigger::LoadEnded;
    QStringList urls;
    // The load's first list: it replaces what is shown; the load's later
    // lists are merged into it.
    bool firstOfLoad = true;
    // An error report stopped the list part way (classic scan, Abort): the
    // list is what was found before, nothing else is to change.
    bool stopped = false;
    QString pageUrl;  // the address of the page's document
};

class PageScanner : public QObject {
    Q_OBJECT
public:
    // Problems are reported through `errors` under the scraper's routine
    // name; the settings are read at each scan.
    PageScanner(ScanPage& page, const Settings& settings, ErrorReporter& errors, QObject* parent = nullptr);

    // The settings may have changed: when the rules of what a scan lists
    // did, the page is read again now, as when one of its documents has
    // been parsed.
    void settingsChanged();

    // A page read for the files it holds lists its embedded items whatever
    // the settings say.
    void setEmbeddedAlways(bool always) { m_embeddedAlways = always; }
    // A page nobody sees asks nothing: problems are only logged, and a page
    // that is not HTML is left to whoever reads its lists (scanEnded tells).
    void setQuiet(bool quiet) { m_quiet = quiet; }

    // Every link of the page's documents as last read, in document order
    // (the frames of other origins as they last reported), whatever the
    // found list takes of them.
    QStringList pageLinks() const;

signals:
    // A scan built the page's found list. Emitted before scanEnded().
    void listReady(const pm::ScanResult& result);
    // A scan ended; `applied` is false when it built nothing (no document, a
    // document that is not HTML, or a result that belongs to an earlier load).
    void scanEnded(pm::ScanTrigger trigger, bool applied);

private:
    ScanRules rules() const;
    // Reports a problem, or only logs it when quiet. True to carry on.
    bool report(ErrorScope& scope, const RuntimeError& error);
    void loadStarted();
    void request(ScanTrigger trigger);
    void startDueScan();
    void startScan(ScanTrigger trigger);
    void endScan(int serial);
    bool applyScan(ScanTrigger trigger, int generation, const QVariant& result);
    void frameReported(const QString& json);
    void rebuildFromReports();
    void publish(ScanTrigger trigger, const PageScan& page, const FoundList& found);

    ScanPage& m_page;
    const Settings& m_settings;
    ErrorReporter& m_errors;
    LoadScans m_loadScans;
    ScanSchedule m_schedule;
    QElapsedTimer m_clock;
    QTimer m_dueTimer;      // a waiting read's time has come
    int m_scanSerial = 0;   // numbers the reads sent to the page
    int m_runningScan = 0;  // awaited or being applied; 0: none
    ScanRules m_lastRules;  // of the last read
    bool m_embeddedAlways = false;
    bool m_quiet = false;
};

}  // namespace pm

Q_DECLARE_METATYPE(pm::ScanResult)
