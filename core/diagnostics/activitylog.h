#pragma once
// The activity log: one time-stamped line per event, appended to the file the
// settings name.

#include "core/diagnostics/appendfile.h"

#include <QLocale>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pm {

class Settings;
struct RuntimeError;

class ActivityLog : public QObject {
    Q_OBJECT
public:
    explicit ActivityLog(const Settings& settings, QObject* parent = nullptr);

    // Appends "<date-time><TAB><text><CR LF>". Never fails to its caller: a
    // line that cannot be written is lost, and the failure is noted. Lines
    // written while no log file is named (at start-up, until the
    // configuration names one) wait for one.
    void write(const QString& text);
    // Several lines at once, in one write to the file.
    void write(const QStringList& lines);
    // Writes the waiting lines, if a log file is named now.
    void writeWaiting();

    // Notes that one of the program's logs could not be written. The first
    // failure of each file in a run is announced by writeFailed().
    void noteWriteFailure(const QString& fileName, const RuntimeError& error);

signals:
    // `reason` is the error's catalogue text ("Path not found", "Disk full").
    void writeFailed(const QString& fileName, const QString& reason);

private:
    // The date-time text of the current second.
    const QString& stampNow();

    const Settings& m_settings;
    AppendFile m_file;
    QStringList m_waiting;
    QSet<QString> m_failedFiles;
    qint64 m_stampSecond = -1;  // the second m_stamp shows
    QLocale m_stampLocale;      // and the locale it was written in
    QString m_stamp;
};

}  // namespace pm
