#pragma once
// The queue's changes since the configuration file was last written, one
// line each, appended as they happen, so that a crash or a kill loses none of
// them and never downloads a finished entry again. The configuration file is
// rewritten only now and then; each rewrite empties the journal, and a start
// after a crash replays what the journal holds onto the stored queue.
//
// Lines: "add URL", "remove URL", "saving TEMPORARY URL" just before a
// finished download's temporary file is renamed over its target (if the
// temporary file is gone at replay, the rename happened and the entry is
// done), and "failed URL" when an entry failed (a rename that did not happen
// among the reasons).

#include <QFile>
#include <QString>
#include <QStringList>

namespace pm {

class ProgressJournal {
public:
    // The journal that goes with a configuration file.
    static QString fileNameFor(const QString& configurationFile);

    void setFileName(const QString& fileName);
    void recordAdded(const QStringList& urls) { append("add", urls); }
    void recordRemoved(const QStringList& urls) { append("remove", urls); }
    void recordSaving(const QString& temporaryFile, const QString& url) { append("saving", {temporaryFile + ' ' + url}); }
    void recordFailed(const QString& url) { append("failed", {url}); }
    qint64 size() const { return m_size; }
    // Empties the journal once the configuration file holds everything.
    void clear();

    // Applies the journal `fileName` to a stored queue. Returns false when
    // there is no journal.
    static bool replay(const QString& fileName, QStringList& queue);

private:
    // One line per text, all in one write.
    void append(const char* word, const QStringList& texts);

    QString m_fileName;
    QFile m_file;
    qint64 m_size = 0;
};

}  // namespace pm
