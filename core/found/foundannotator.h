#pragma once
// Fills in what the found list knows of each entry before anything is
// downloaded: the server's answer to a probe (type and size) and what a
// download would do with the entry under the current settings. Entries are
// probed once listed, when the setting asks for it; their outcomes are
// worked out in short slices from the event loop, so that a page of tens of
// thousands of entries never holds up the window.

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <optional>

namespace pm {

class AppContext;
class DownloadArchive;
class FoundListModel;
struct ArchiveRecord;
struct ProbeResult;

class FoundAnnotator : public QObject {
    Q_OBJECT
public:
    FoundAnnotator(FoundListModel& model, AppContext& context, QObject* parent = nullptr);

    // Another page is shown: what was being asked about the last one is
    // dropped. Its entries' answers stay cached for when they are listed again.
    void newPage();
    // The settings, the output folder or the archive changed: every entry's
    // outcome is worked out again.
    void refreshAll();

    // Entries whose outcome is still to be worked out.
    int pendingCount() const { return int(m_pending.size()); }

    // The longest a slice of outcome work runs before the event loop gets
    // its turn.
    static constexpr int kSliceMs = 8;

private:
    void listed(int first, int last);
    void queue(const QString& url);
    void predictSome();
    void predict(const QString& url);
    void recordChanged(const ArchiveRecord& record);
    // Hears of the changes of the archive in use, which the program may
    // set or replace after this was made.
    void followArchive();

    FoundListModel& m_model;
    AppContext& m_context;
    std::deque<QString> m_pending;
    QSet<QString> m_queued;
    QTimer m_slice;
    QPointer<DownloadArchive> m_archive;
};

}  // namespace pm
