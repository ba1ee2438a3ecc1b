#pragma once
// The journal beside the configuration file: the queue's changes since the
// file was last written, and what the file cannot hold (the kept parts of
// downloads, the download records the archive has not taken yet). Lines are
// appended as things happen, each in one write, so a crash or a kill loses
// none written before it and never downloads a finished entry again; a start
// after one replays the journal onto the stored queue.
//
// A line is a word and its fields, each in double quotes; a backslash
// escapes a backslash, a quote and the line ends (\\ \" \r \n):
//   "add",URL[,PAGE]           an entry was added, found on PAGE when known
//   "remove",URL               an entry left the queue (done, or the user's)
//   "partial",URL,FILE,VALIDATOR
//                              the entry goes on from FILE, which holds the
//                              start of the response with that validator
//                              ("partial",URL alone: nothing is kept)
//   "saving",URL,TEMPORARY,ID,RECORD...
//                              just before a finished download's temporary
//                              file, whose identity (device and inode) is ID,
//                              is renamed over the record's file: that file
//                              with that identity proves the rename happened
//   "record",RECORD...         a download the archive may not have yet
// RECORD is the address, final address, file, size, SHA-256 (hex) and time
// (ISO 8601, UTC) of the download. A reader ignores fields beyond those it
// knows, so a later version may add some (the page an entry was found on).
// Lines of the earlier format (add URL, remove URL, saving TEMPORARY URL,
// failed URL) replay too, whatever their line ends.

#include "core/download/downloadarchive.h"
#include "core/download/partialdownload.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pm {

// What a journal holds besides the queue's changes.
struct JournalContents {
    QHash<QString, PartialDownload> partials;  // by address; each file still there, with its size
    QList<ArchiveRecord> records;              // downloads the archive may not have yet
    QHash<QString, QString> pages;             // by address: the page an added entry was found on
};

class ProgressJournal {
public:
    // The journal that goes with a configuration file.
    static QString fileNameFor(const QString& configurationFile);

    void setFileName(const QString& fileName);
    // `pages` by position in `urls` ("" or missing: unknown).
    void recordAdded(const QStringList& urls, const QStringList& pages);
    void recordRemoved(const QStringList& urls);
    // An invalid partial: nothing is kept for the entry any more.
    void recordPartial(const QString& url, const PartialDownload& partial);
    // Just before `temporaryFile` is renamed over `record.savedPath`.
    void recordSaving(const QString& temporaryFile, const ArchiveRecord& record);
    // A record handed to the archive stays in the journal, across restart(),
    // until archived() says the archive holds it.
    void keepUntilArchived(const ArchiveRecord& record);
    void archived(const ArchiveRecord& record);
    qint64 size() const { return m_size; }

    // Begins the journal anew once the configuration file holds the queue:
    // it keeps the entries' kept parts, given by address, and the records the
    // archive has not taken yet.
    void restart(const QList<QPair<QString, PartialDownload>>& partials);

    // Applies the journal `fileName` to a stored queue and gathers what else
    // it holds. An entry leaves the queue only when the journal says it was
    // removed or proves its file was saved. Returns false when there is no
    // journal.
    static bool replay(const QString& fileName, QStringList& queue, JournalContents& contents);

private:
    void append(const QByteArray& lines);

    QString m_fileName;
    QFile m_file;
    qint64 m_size = 0;
    QHash<QString, ArchiveRecord> m_unarchived;  // by recordKey()
    QSet<QString> m_recordsInJournal;            // keys of records a line of the journal holds
};

}  // namespace pm
