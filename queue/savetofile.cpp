#include "queue/savetofile.h"

#include "common/strings.h"
#include "logs/activitylog.h"
#include "queue/transfer.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace pm {

const char* const SaveToFile::kTempPrefix = ".pullmark-";

void SaveToFile::removeLeftoverTemporaries(const QString& folder)
{
    QDir dir(folder);
    const QStringList leftovers = dir.entryList({QLatin1String(kTempPrefix) + QStringLiteral("*.part")},
                                                QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : leftovers)
        dir.remove(name);
}

namespace {
void logDownload(const QString& text)
{
    if (settings().bG_LogDownloads)
        WriteLog(text);
}

// Replaces `to` by `from` in one step (an existing target included).
bool replaceFile(const QString& from, const QString& to, int& savedErrno)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    savedErrno = errno;
    return false;
}
}  // namespace

QString renamedTarget(const QString& target)
{
    if (!QFileInfo::exists(target))
        return target;
    const int nameStart = target.lastIndexOf(QDir::separator()) + 1;
    int dot = target.lastIndexOf(QLatin1Char('.'));
    if (dot < nameStart)
        dot = int(target.size());  // no "." in the name: number at the end
    const QString head = target.left(dot);
    const QString tail = target.mid(dot);
    for (qint64 counter = 0; counter <= INT_MAX; ++counter) {
        const QString candidate = head + QString::number(counter) + tail;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    throw RuntimeError::of(ErrFileExists, target);
}

bool usableFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return false;
    return QFile::encodeName(name).size() <= NAME_MAX;
}

SaveToFile::SaveToFile(Transfer* transfer, std::function<bool()> stopFlag, QObject* parent)
    : QObject(parent), m_transfer(transfer), m_stopFlag(std::move(stopFlag))
{
    connect(m_transfer, &Transfer::finished, this, [this] {
        if (m_busy)
            afterFetch();
    });
}

SaveToFile::~SaveToFile()
{
    discardTemp();
}

void SaveToFile::start(const QString& url)
{
    Q_ASSERT(!m_busy);
    m_busy = true;
    m_url = url;
    m_scope.emplace(QStringLiteral("SaveToFile."));
    m_openError.reset();
    discardTemp();

    // 1-3: announce, build the target (named before any renaming).
    logDownload(QStringLiteral("Starting: ") + url);
    const QString folder = settings().strG_SavePath;
    const QString name = GetFileName(url);
    m_target = folder + QDir::separator() + name;
    logDownload(QStringLiteral("Saving downloaded file to ") + m_target);

    // The temporary file that receives the body. A target that cannot be
    // opened is reported where the file is written, after the fetch.
    if (!usableFileName(name)) {
        m_openError = RuntimeError::of(ErrBadFileName, m_target);
    } else {
        const QString tempName = folder + QDir::separator() + QLatin1String(kTempPrefix)
            + QString::number(QRandomGenerator::global()->generate64(), 36) + QStringLiteral(".part");
        m_temp = std::make_unique<QFile>(tempName);
        m_temp->setProperty("pm_path", m_target);
        errno = 0;
        if (!m_temp->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_openError = fileOpenError(errno, m_target, true);
            m_temp.reset();
        }
    }

    // 4: fetch.
    m_transfer->fetch(url, m_temp.get());
}

void SaveToFile::afterFetch()
{
    ErrorScope& scope = *m_scope;
    const bool stopped = m_stopFlag();
    const bool fetchFailed = m_transfer->failed() && !m_transfer->sinkFailed();

    // A user's stop is no error; any other failed fetch is reported.
    if (fetchFailed && !(stopped && m_transfer->cancelled())) {
        if (!scope.report(m_transfer->error())) {
            finish(QVariant());
            return;
        }
    }
    // 5: stop test.
    if (m_stopFlag()) {
        finish(QVariant());
        return;
    }
    // A failed fetch gives no bytes and no size: nothing is written.
    if (fetchFailed) {
        finish(QVariant());
        return;
    }

    // 6-7: the size.
    QVariant size;
    const QString length = m_transfer->headerText("content-length");
    if (length.isEmpty())
        size = m_transfer->bytesReceived();
    else
        size = length;

    // 8: "Rename".
    if (settings().strG_FileDupOption == QLatin1String("Rename") && !m_openError) {
        if (!scope.step([&] { m_target = renamedTarget(m_target); })) {
            finish(size);
            return;
        }
    }

    // 9: size rule, strictly below the limit.
    if (settings().bG_SaveLarge) {
        bool tooSmall = false;
        if (!scope.step([&] {
                bool ok = true;
                const double bytes = size.typeId() == QMetaType::QString ? size.toString().trimmed().toDouble(&ok)
                                                                          : size.toDouble();
                if (!ok)
                    throw RuntimeError::of(ErrTypeMismatch, size.toString());
                const float limit = settings().sG_FileSize * 1024.0f;
                tooSmall = bytes < double(limit);
            })) {
            finish(size);
            return;
        }
        if (tooSmall) {
            logDownload(QStringLiteral("Completed: ") + m_url);
            logDownload(QStringLiteral("Not saved as it didn't meet size criteria"));
            finish(size);
            return;
        }
    }

    // 10: write: the complete body replaces the target in one rename.
    bool written = false;
    scope.step([&] {
        if (m_openError)
            throw *m_openError;
        if (m_transfer->sinkFailed())
            throw m_transfer->error();
        const QString tempName = m_temp->fileName();
        m_temp->close();
        if (m_temp->error() != QFileDevice::NoError)
            throw fileWriteError(errno, m_target);
        int savedErrno = 0;
        if (!replaceFile(tempName, m_target, savedErrno))
            throw fileWriteError(savedErrno, m_target);
        m_temp.reset();
        written = true;
    });
    if (written)
        logDownload(QStringLiteral("Completed: ") + m_url);
    finish(size);
}

void SaveToFile::discardTemp()
{
    if (m_temp) {
        m_temp->close();
        m_temp->remove();
        m_temp.reset();
    }
}

void SaveToFile::finish(const QVariant& size)
{
    discardTemp();
    m_busy = false;
    emit done(size);
}

}  // namespace pm
