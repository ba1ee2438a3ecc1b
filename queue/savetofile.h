#pragma once
// Saving one queue entry: fetch its URL, work out its size, choose the target
// in the output folder ("Rename" numbering, size rule) and write it. The body
// streams into a temporary file in the output folder; only a complete,
// accepted item is renamed over its target, so no partial file ever carries a
// real name. Errors are reported under "SaveToFile.".

#include "logs/errorscope.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace pm {

class Transfer;

// The target's free name under the "Rename" rule: the target itself if free,
// else the counter put before the last "." of the target's file name (a.jpg:
// a0.jpg, a1.jpg, ...); a name without "." takes the counter at its end.
QString renamedTarget(const QString& target);

// Whether `name` can be a file directly inside a folder: not empty, not "."
// or "..", no separator, not longer than the file system allows.
bool usableFileName(const QString& name);

class SaveToFile : public QObject {
    Q_OBJECT
public:
    // `stopFlag` reads the Work Queue window's chkContinue.
    SaveToFile(Transfer* transfer, std::function<bool()> stopFlag, QObject* parent = nullptr);
    ~SaveToFile() override;

    // Runs the routine for `url`; done() follows from the event loop.
    void start(const QString& url);
    bool busy() const { return m_busy; }

    // The prefix of temporary files in the output folder.
    static const char* const kTempPrefix;
    // Removes the temporary files a killed or crashed earlier run left in
    // `folder`. Only one transfer runs at a time, so none of them is in use
    // when a session starts.
    static void removeLeftoverTemporaries(const QString& folder);

signals:
    // The size: the Content-Length text, the received byte count (qint64)
    // when that header is missing, or invalid (empty) when the routine ended
    // before the size was known.
    void done(const QVariant& size);

private:
    void afterFetch();
    void finish(const QVariant& size);
    void discardTemp();

    Transfer* m_transfer;
    std::function<bool()> m_stopFlag;
    std::optional<ErrorScope> m_scope;
    std::unique_ptr<QFile> m_temp;
    std::optional<RuntimeError> m_openError;
    QString m_url;
    QString m_target;
    bool m_busy = false;
};

}  // namespace pm
