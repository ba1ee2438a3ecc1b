#include "archive/sqlitearchive.h"

#include "core/diagnostics/activitylog.h"
#include "core/diagnostics/errorreporter.h"
#include "core/diagnostics/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <utility>

namespace pm {

namespace {
const QString kRoutine = QStringLiteral("DownloadArchive.");
const QString kColumns = QStringLiteral("SELECT id, url, final_url, path, size, sha256, saved_at FROM downloads ");
// Records found in one query at most: enough for any screen or any search
// by content, and quick whatever the archive's size.
constexpr int kMostFound = 1000;

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS downloads (id INTEGER PRIMARY KEY, url TEXT, final_url TEXT, path TEXT, "
    "size INTEGER, sha256 BLOB, saved_at TEXT)",
    "CREATE INDEX IF NOT EXISTS downloads_url ON downloads (url)",
    // Most downloads are not redirected: their final address is stored as
    // NULL, which keeps it out of this index and each insert quicker.
    "CREATE INDEX IF NOT EXISTS downloads_final_url ON downloads (final_url) WHERE final_url IS NOT NULL",
    "CREATE INDEX IF NOT EXISTS downloads_content ON downloads (size, sha256)",
};

// SQLite's primary result code (the extended codes keep it in the low byte).
int resultCode(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

ArchiveRecord recordAt(const QSqlQuery& query)
{
    const QString url = query.value(1).toString();
    return {query.value(0).toLongLong(), url,
            query.isNull(2) ? url : query.value(2).toString(), query.value(3).toString(),
            query.value(4).toLongLong(), query.value(5).toByteArray(),
            QDateTime::fromString(query.value(6).toString(), Qt::ISODate)};
}

// A LIKE pattern that finds `text` anywhere, its wildcards taken literally.
QString containsPattern(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + text + QLatin1Char('%');
}
}  // namespace

SqliteDownloadArchive::SqliteDownloadArchive(const QString& fileName, ErrorReporter& errors, QObject* parent)
    : DownloadArchive(parent),
      m_fileName(fileName),
      m_connection(QStringLiteral("pullmark-archive-%1").arg(quintptr(this), 0, 16)),
      m_errors(errors)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(5000);
    connect(&m_retry, &QTimer::timeout, this, &SqliteDownloadArchive::writeWaiting);
    m_batch.setSingleShot(true);
    connect(&m_batch, &QTimer::timeout, this, [this] {
        if (!m_retry.isActive())
            writeWaiting();
    });
}

SqliteDownloadArchive::~SqliteDownloadArchive()
{
    m_retry.stop();
    m_batch.stop();
    writeWaiting();  // a last try for records that waited
    if (QSqlDatabase::contains(m_connection)) {
        close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QSqlDatabase SqliteDownloadArchive::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

void SqliteDownloadArchive::report(int number, const QString& detail) const
{
    if (std::exchange(m_reported, true))
        return;
    const RuntimeError error = RuntimeError::of(number, detail);
    m_errors.log(error, kRoutine);
    m_errors.activityLog().noteWriteFailure(m_fileName, error);
}

SqliteDownloadArchive::Failure SqliteDownloadArchive::kindOf(const QSqlError& error)
{
    switch (resultCode(error)) {
    case 5:   // SQLITE_BUSY
    case 6:   // SQLITE_LOCKED: another program is writing
        return Failure::Locked;
    case 11:  // SQLITE_CORRUPT
    case 26:  // SQLITE_NOTADB
        return Failure::Damaged;
    default:
        return Failure::Other;
    }
}

QString SqliteDownloadArchive::detail(const QSqlError& error) const
{
    return QStringLiteral("%1 (%2)").arg(m_fileName, error.databaseText());
}

void SqliteDownloadArchive::failed(const QSqlError& error) const
{
    const Failure failure = kindOf(error);
    if (failure != Failure::Locked) {
        // Given up for this run; a damaged file is set aside at the next start.
        close();
        m_state = State::Unusable;
    }
    report(failure == Failure::Damaged ? ErrArchiveDamaged : ErrArchiveUnusable, detail(error));
}

bool SqliteDownloadArchive::run(QSqlQuery& query) const
{
    if (query.exec())
        return true;
    failed(query.lastError());
    return false;
}

SqliteDownloadArchive::Failure SqliteDownloadArchive::setUp(QSqlError& error) const
{
    QSqlDatabase db = QSqlDatabase::contains(m_connection) ? database()
                                                           : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_fileName);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        error = db.lastError();
        return kindOf(error);
    }
    QSqlQuery query(db);
    // Read first, changed only once it is known to be the archive: another
    // program's database is set aside as it was.
    if (!query.exec(QStringLiteral("PRAGMA quick_check"))) {
        error = query.lastError();
        return kindOf(error);
    }
    if (!query.next() || query.value(0).toString() != QLatin1String("ok")) {
        error = QSqlError(QString(), query.value(0).toString());
        return Failure::Damaged;
    }
    if (!hasOwnSchema(query)) {
        error = query.lastError();
        return error.isValid() ? kindOf(error) : Failure::Foreign;
    }
    // A commit in WAL mode is whole after a crash of the program; with
    // "NORMAL" it does not wait for the disk, and a power cut loses at most
    // the last records, never the database.
    for (const char* statement : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
        if (!query.exec(QLatin1String(statement))) {
            error = query.lastError();
            return kindOf(error);
        }
    }
    for (const char* statement : kSchema) {
        if (!query.exec(QLatin1String(statement))) {
            error = query.lastError();
            return kindOf(error);
        }
    }
    return Failure::None;
}

bool SqliteDownloadArchive::hasOwnSchema(QSqlQuery& query) const
{
    // A table of another program, or a "downloads" table of other columns,
    // is not the archive's to write to.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'")))
        return false;
    QStringList tables;
    while (query.next())
        tables << query.value(0).toString();
    if (tables.isEmpty())
        return true;  // a new archive
    if (tables != QStringList{QStringLiteral("downloads")} || !query.exec(QStringLiteral("PRAGMA table_info(downloads)")))
        return false;
    QStringList columns;
    while (query.next())
        columns << query.value(1).toString();
    return columns == QStringList{"id", "url", "final_url", "path", "size", "sha256", "saved_at"};
}

bool SqliteDownloadArchive::setAside(Failure why) const
{
    // The file, with its write-ahead log, stays for the user under a name of
    // its own; the next open begins a new archive.
    const QString stem = m_fileName + (why == Failure::Foreign ? QStringLiteral(".foreign-") : QStringLiteral(".damaged-"))
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = stem + QStringLiteral("~%1").arg(n);
    if (!QFile::rename(m_fileName, aside))
        return false;
    QFile::rename(m_fileName + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_fileName + QStringLiteral("-shm"));
    if (why == Failure::Foreign)
        report(ErrArchiveForeign, QStringLiteral("%1 holds another program's tables (kept as %2; a new archive was begun)")
                                      .arg(m_fileName, aside));
    else
        report(ErrArchiveDamaged, QStringLiteral("%1 (kept as %2; a new archive was begun)").arg(m_fileName, aside));
    return true;
}

bool SqliteDownloadArchive::open(bool create) const
{
    if (m_state != State::Closed)
        return m_state == State::Open;
    if (!create && !QFileInfo::exists(m_fileName))
        return false;  // nothing archived yet
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        m_state = State::Unusable;
        report(ErrArchiveUnusable, m_fileName + QStringLiteral(" (Qt's SQLite driver is not installed)"));
        return false;
    }
    QSqlError error;
    Failure failure = setUp(error);
    if (failure == Failure::Damaged || failure == Failure::Foreign) {
        close();
        failure = setAside(failure) ? setUp(error) : Failure::Other;
    }
    if (failure == Failure::None) {
        m_state = State::Open;
        return true;
    }
    close();
    if (failure != Failure::Locked)
        m_state = State::Unusable;
    report(failure == Failure::Damaged ? ErrArchiveDamaged : ErrArchiveUnusable, detail(error));
    return false;
}

void SqliteDownloadArchive::restore(const QList<ArchiveRecord>& records)
{
    for (const ArchiveRecord& record : records)
        m_waiting.append({record, true});
    if (!m_retry.isActive())
        writeWaiting();
}

int SqliteDownloadArchive::flush()
{
    m_retry.stop();
    writeWaiting();
    return waitingCount();
}

void SqliteDownloadArchive::add(const ArchiveRecord& record)
{
    m_waiting.append({record, false});
    if (m_retry.isActive())
        return;  // waiting for a lock
    // The first record after a quiet time goes in at once; those that
    // follow it quickly wait for the batch, so that a queue of small files
    // costs one transaction per batch.
    const bool quiet = !m_sinceWrite.isValid() || m_sinceWrite.elapsed() >= kBatchMs;
    if (quiet || m_waiting.size() >= kBatchRecords)
        writeWaiting();
    else if (!m_batch.isActive())
        m_batch.start(int(kBatchMs - m_sinceWrite.elapsed()));
}

void SqliteDownloadArchive::writeWaitingBeforeReading() const
{
    // Writing the waiting records changes nothing a reader could tell from
    // the records it asked for; they are the archive's already.
    if (!m_waiting.isEmpty() && !m_retry.isActive())
        const_cast<SqliteDownloadArchive*>(this)->writeWaiting();
}

void SqliteDownloadArchive::writeWaiting()
{
    m_batch.stop();
    if (m_waiting.isEmpty())
        return;
    m_sinceWrite.start();
    if (open(true)) {
        QSqlDatabase db = database();
        QSqlQuery& insert = prepared(QStringLiteral("INSERT INTO downloads (url, final_url, path, size, sha256, "
                                                    "saved_at) VALUES (?, ?, ?, ?, ?, ?)"));
        QSqlQuery& existing = prepared(QStringLiteral("SELECT id FROM downloads WHERE url = ? AND path = ? AND saved_at = ?"));
        // A single record is one statement, a transaction of its own; a
        // batch, or records that waited for a lock, go in together.
        const bool several = m_waiting.size() > 1;
        bool written = !several || db.transaction();
        QSqlQuery* failing = &insert;
        for (qsizetype i = 0; written && i < m_waiting.size(); ++i) {
            ArchiveRecord& r = m_waiting[i].record;
            const QDateTime when = r.when.isValid() ? r.when : QDateTime::currentDateTimeUtc();
            const QString savedAt = when.toUTC().toString(Qt::ISODate);
            if (m_waiting[i].restored) {
                // Taken before the program ended, perhaps: not twice.
                existing.bindValue(0, r.url);
                existing.bindValue(1, r.savedPath);
                existing.bindValue(2, savedAt);
                failing = &existing;
                written = existing.exec();
                const bool found = written && existing.next();
                if (found)
                    r.id = existing.value(0).toLongLong();
                existing.finish();
                if (found || !written)
                    continue;
            }
            const QVariant finalUrl = r.finalUrl == r.url ? QVariant() : QVariant(r.finalUrl);
            const QVariantList values{r.url, finalUrl, r.savedPath, r.size, r.sha256, savedAt};
            for (int column = 0; column < values.size(); ++column)
                insert.bindValue(column, values[column]);
            failing = &insert;
            written = insert.exec();
            if (written)
                r.id = insert.lastInsertId().toLongLong();
        }
        if (written && (!several || db.commit())) {
            for (const Waiting& w : std::exchange(m_waiting, {}))
                emit recordAdded(w.record);
            return;
        }
        const QSqlError error = failing->lastError().isValid() ? failing->lastError() : db.lastError();
        insert.finish();
        if (several)
            db.rollback();
        failed(error);
    }
    if (m_state == State::Unusable)
        m_waiting.clear();  // the run goes on without the archive; the journal keeps the records
    else
        m_retry.start();
}

QSqlQuery& SqliteDownloadArchive::prepared(const QString& statement) const
{
    // Prepared once per open: a lookup then costs a few microseconds.
    auto query = m_prepared.find(statement);
    if (query == m_prepared.end()) {
        query = m_prepared.insert(statement, QSqlQuery(database()));
        query->setForwardOnly(true);
        query->prepare(statement);
    }
    return *query;
}

void SqliteDownloadArchive::close() const
{
    m_prepared.clear();
    database().close();
}

QList<ArchiveRecord> SqliteDownloadArchive::select(const QString& where, const QVariantMap& values) const
{
    QList<ArchiveRecord> found;
    writeWaitingBeforeReading();
    if (!open(false))
        return found;
    QSqlQuery& query = prepared(kColumns + where);
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        query.bindValue(value.key(), value.value());
    if (!run(query))
        return found;
    while (query.next())
        found.append(recordAt(query));
    query.finish();  // no read snapshot stays open
    return found;
}

std::optional<ArchiveRecord> SqliteDownloadArchive::findByUrl(const QString& url) const
{
    const QList<ArchiveRecord> found =
        select(QStringLiteral("WHERE url = :url OR final_url = :url ORDER BY id DESC LIMIT 1"), {{QStringLiteral(":url"), url}});
    return found.isEmpty() ? std::nullopt : std::optional<ArchiveRecord>(found.first());
}

QHash<QString, QString> SqliteDownloadArchive::savedFiles(const QStringList& urls) const
{
    // A fixed number of places, so one prepared statement serves every
    // call; places left over hold NULL, which matches nothing.
    constexpr int kPlaces = 64;
    static const QString statement = [] {
        QStringList places;
        for (int i = 0; i < kPlaces; ++i)
            places << QStringLiteral(":u%1").arg(i);
        return QStringLiteral("SELECT url, final_url, path FROM downloads WHERE url IN (%1) OR final_url IN (%1) "
                              "ORDER BY id")
            .arg(places.join(QLatin1Char(',')));
    }();
    QHash<QString, QString> files;
    writeWaitingBeforeReading();
    if (urls.isEmpty() || !open(false))
        return files;
    QSqlQuery& query = prepared(statement);
    for (qsizetype first = 0; first < urls.size(); first += kPlaces) {
        const QStringList part = urls.mid(first, kPlaces);
        for (int i = 0; i < kPlaces; ++i)
            query.bindValue(QStringLiteral(":u%1").arg(i), i < part.size() ? QVariant(part[i]) : QVariant());
        if (!run(query))
            return files;
        while (query.next()) {  // oldest first: the newest record has the last word
            for (const int column : {0, 1}) {
                if (!query.isNull(column) && part.contains(query.value(column).toString()))
                    files.insert(query.value(column).toString(), query.value(2).toString());
            }
        }
        query.finish();
    }
    return files;
}

QList<ArchiveRecord> SqliteDownloadArchive::findBySize(qint64 size, const QByteArray& sha256) const
{
    const QString limit = QStringLiteral(" ORDER BY id DESC LIMIT %1").arg(kMostFound);
    if (sha256.isEmpty())
        return select(QStringLiteral("WHERE size = :size") + limit, {{QStringLiteral(":size"), size}});
    return select(QStringLiteral("WHERE size = :size AND sha256 = :sha") + limit,
                  {{QStringLiteral(":size"), size}, {QStringLiteral(":sha"), sha256}});
}

QList<ArchiveRecord> SqliteDownloadArchive::records(const QString& search, int offset, int limit) const
{
    const QString page = QStringLiteral(" ORDER BY id DESC LIMIT :limit OFFSET :offset");
    QVariantMap values{{QStringLiteral(":limit"), std::max(0, limit)}, {QStringLiteral(":offset"), std::max(0, offset)}};
    if (search.isEmpty())
        return select(page, values);
    values.insert(QStringLiteral(":pattern"), containsPattern(search));
    return select(QStringLiteral("WHERE url LIKE :pattern ESCAPE '\\' OR path LIKE :pattern ESCAPE '\\'") + page, values);
}

bool SqliteDownloadArchive::change(const QString& statement)
{
    writeWaitingBeforeReading();
    if (!open(false))
        return false;
    QSqlQuery query(database());
    if (!query.exec(statement)) {
        failed(query.lastError());
        return false;
    }
    emit recordsRemoved();
    return true;
}

void SqliteDownloadArchive::remove(const QList<qint64>& ids)
{
    QStringList numbers;
    for (qint64 id : ids)
        numbers << QString::number(id);
    if (!numbers.isEmpty())
        change(QStringLiteral("DELETE FROM downloads WHERE id IN (%1)").arg(numbers.join(QLatin1Char(','))));
}

void SqliteDownloadArchive::clear()
{
    change(QStringLiteral("DELETE FROM downloads"));
}

}  // namespace pm
