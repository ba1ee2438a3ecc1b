#include "core/config/progressjournal.h"

#include "core/config/atomicfile.h"
#include "core/textutil.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

#include <sys/stat.h>

namespace pm {

namespace {
// A field of a line: in quotes, with backslash escapes, never a line end.
QByteArray quoted(const QString& text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + '"';
}

QByteArray journalLine(const QStringList& fields)
{
    QByteArray line;
    for (const QString& field : fields)
        line += (line.isEmpty() ? "" : ",") + quoted(field);
    return line + '\n';
}

// The fields of a line as journalLine() writes it; none when it is not one.
QStringList fieldsOf(const QByteArray& line)
{
    QStringList fields;
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] != '"')
            return {};
        QByteArray text;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] != '\\') {
                text += line[i];
                continue;
            }
            if (++i == line.size())
                return {};
            text += line[i] == 'r' ? '\r' : line[i] == 'n' ? '\n' : line[i];
        }
        if (i == line.size())
            return {};  // no closing quote
        fields << QString::fromUtf8(text);
        ++i;
        if (i < line.size() && line[i++] != ',')
            return {};
    }
    return fields;
}

// A line of the earlier format, "WORD TEXT", as fields. Its saving lines are
// "saving TEMPORARY URL", the temporary file in a folder whose name may hold
// blanks; one without a temporary file's name is no saving line.
QStringList earlierFormatFields(const QByteArray& line)
{
    const QString text = QString::fromUtf8(line);
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {};
    const QString word = text.left(blank);
    if (word != QLatin1String("saving"))
        return {word, text.mid(blank + 1)};
    static const QRegularExpression saving(QStringLiteral("^saving (.*/\\.pullmark-[0-9a-f]{16}\\.part) (.+)$"));
    const QRegularExpressionMatch match = saving.match(text);
    return match.hasMatch() ? QStringList{word, match.captured(2), match.captured(1)} : QStringList{};
}

// The lines of a journal, whatever their ends. What follows the last line end
// is a line the crash cut off.
QList<QByteArray> journalLines(const QByteArray& all)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] != '\r' && all[i] != '\n')
            continue;
        if (i > start)
            lines.append(all.mid(start, i - start));
        start = i + 1;
    }
    return lines;
}

QStringList recordFields(const ArchiveRecord& r)
{
    return {r.url, r.finalUrl, r.savedPath, QString::number(r.size), QString::fromLatin1(r.sha256.toHex()),
            r.when.toUTC().toString(Qt::ISODate)};
}

std::optional<ArchiveRecord> recordFrom(const QStringList& fields, qsizetype first)
{
    if (fields.size() < first + 6)
        return std::nullopt;
    bool ok = false;
    ArchiveRecord r{0, fields[first], fields[first + 1], fields[first + 2], fields[first + 3].toLongLong(&ok),
                    QByteArray::fromHex(fields[first + 4].toLatin1()),
                    QDateTime::fromString(fields[first + 5], Qt::ISODate)};
    if (!ok || r.url.isEmpty() || r.savedPath.isEmpty() || !r.when.isValid())
        return std::nullopt;
    return r;
}

// One download's record, however often it is written down. The time counts
// whole seconds, as the journal writes it.
QString recordKey(const ArchiveRecord& r)
{
    return r.url + QLatin1Char('\n') + r.savedPath + QLatin1Char('\n') + QString::number(r.when.toSecsSinceEpoch());
}

// A file's identity on its file system, which a rename keeps; "" when there
// is no such file.
QString fileIdentity(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    return QString::number(info.st_dev) + QLatin1Char(':') + QString::number(info.st_ino);
}

QByteArray partialLine(const QString& url, const PartialDownload& partial)
{
    return partial.isValid() ? journalLine({QStringLiteral("partial"), url, partial.file, QString::fromUtf8(partial.validator)})
                             : journalLine({QStringLiteral("partial"), url});
}
}  // namespace

QString ProgressJournal::fileNameFor(const QString& configurationFile)
{
    return configurationFile + QStringLiteral(".journal");
}

void ProgressJournal::setFileName(const QString& fileName)
{
    if (fileName == m_fileName)
        return;
    m_file.close();
    m_fileName = fileName;
    m_size = QFileInfo(fileName).size();
}

void ProgressJournal::append(const QByteArray& lines)
{
    if (m_fileName.isEmpty())
        return;
    if (!m_file.isOpen()) {
        m_file.setFileName(m_fileName);
        // Unbuffered: each line reaches the system at once, so a killed
        // program loses nothing written before.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return;  // the next configuration save still keeps the queue
    }
    if (m_file.write(lines) == lines.size())
        m_size += lines.size();
}

void ProgressJournal::recordAdded(const QStringList& urls, const QStringList& pages)
{
    QByteArray lines;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QString page = pages.value(i);
        lines += journalLine(page.isEmpty() ? QStringList{QStringLiteral("add"), urls.at(i)}
                                            : QStringList{QStringLiteral("add"), urls.at(i), page});
    }
    append(lines);
}

void ProgressJournal::recordRemoved(const QStringList& urls)
{
    QByteArray lines;
    for (const QString& url : urls)
        lines += journalLine({QStringLiteral("remove"), url});
    append(lines);
}

void ProgressJournal::recordPartial(const QString& url, const PartialDownload& partial)
{
    append(partialLine(url, partial));
}

void ProgressJournal::recordSaving(const QString& temporaryFile, const ArchiveRecord& record)
{
    m_recordsInJournal.insert(recordKey(record));
    append(journalLine(QStringList{QStringLiteral("saving"), record.url, temporaryFile, fileIdentity(temporaryFile)}
                       + recordFields(record)));
}

void ProgressJournal::keepUntilArchived(const ArchiveRecord& record)
{
    const QString key = recordKey(record);
    m_unarchived.insert(key, record);
    if (!m_recordsInJournal.contains(key)) {
        m_recordsInJournal.insert(key);
        append(journalLine(QStringList{QStringLiteral("record")} + recordFields(record)));
    }
}

void ProgressJournal::archived(const ArchiveRecord& record)
{
    m_unarchived.remove(recordKey(record));
}

void ProgressJournal::restart(const QList<QPair<QString, PartialDownload>>& partials)
{
    m_file.close();
    m_recordsInJournal.clear();
    QByteArray lines;
    for (const auto& [url, partial] : partials)
        lines += partialLine(url, partial);
    for (auto record = m_unarchived.cbegin(); record != m_unarchived.cend(); ++record) {
        lines += journalLine(QStringList{QStringLiteral("record")} + recordFields(record.value()));
        m_recordsInJournal.insert(record.key());
    }
    m_size = 0;
    if (m_fileName.isEmpty())
        return;
    if (!lines.isEmpty()) {
        AtomicFileWriter file(m_fileName);
        if (file.open() && file.write(lines) && file.commit()) {
            m_size = lines.size();
            return;
        }
    }
    // Nothing to keep, or it could not be written: an old journal must not
    // add the stored queue's entries a second time at the next start.
    QFile::remove(m_fileName);
}

bool ProgressJournal::replay(const QString& fileName, QStringList& queue, JournalContents& contents)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    struct Saving {
        QString url;
        QString temporary;
        QString identity;  // "" in the earlier format
        std::optional<ArchiveRecord> record;
    };
    QHash<QString, Saving> saving;  // by address: renames that may or may not have happened
    QList<Saving> removedAfterSaving;
    QSet<QString> recorded;  // each download once, however often the journal holds it
    auto addRecord = [&](const ArchiveRecord& record) {
        if (!recorded.contains(recordKey(record))) {
            recorded.insert(recordKey(record));
            contents.records.append(record);
        }
    };
    for (const QByteArray& line : journalLines(file.readAll())) {
        const QStringList f = line.startsWith('"') ? fieldsOf(line) : earlierFormatFields(line);
        if (f.size() < 2)
            continue;
        const QString& word = f[0];
        const QString& url = f[1];
        if (word == QLatin1String("add")) {
            queue.append(url);
            if (const QString page = f.value(2); !page.isEmpty() && line.startsWith('"'))
                contents.pages.insert(url, page);
        } else if (word == QLatin1String("remove")) {
            queue.removeOne(url);
            contents.partials.remove(url);
            if (saving.contains(url))
                removedAfterSaving.append(saving.take(url));
        } else if (word == QLatin1String("failed")) {
            saving.remove(url);  // the earlier format's word for a rename that did not happen
        } else if (word == QLatin1String("partial")) {
            if (f.size() >= 4 && !f[2].isEmpty())
                contents.partials.insert(url, {f[2], 0, f[3].toUtf8()});
            else
                contents.partials.remove(url);
        } else if (word == QLatin1String("saving") && f.size() >= 3 && !f[2].isEmpty()) {
            saving.insert(url, {url, f[2], f.value(3), recordFrom(f, 4)});
        } else if (word == QLatin1String("record")) {
            if (const auto record = recordFrom(f, 1))
                addRecord(*record);
        }
    }

    // The rename happened when the temporary file is gone and the target is
    // the file it was. The earlier format knew no identity: there the target
    // under the address's own name must exist.
    auto renamed = [](const Saving& s) {
        if (QFileInfo::exists(s.temporary))
            return false;
        if (!s.identity.isEmpty())
            return s.record && fileIdentity(s.record->savedPath) == s.identity;
        return QFileInfo(QFileInfo(s.temporary).path() + QLatin1Char('/') + fileNameOf(s.url)).isFile();
    };
    for (const Saving& s : std::as_const(saving)) {
        if (!renamed(s))
            continue;  // not proven saved: the entry stays
        queue.removeOne(s.url);
        contents.partials.remove(s.url);
        removedAfterSaving.append(s);
    }
    for (const Saving& s : std::as_const(removedAfterSaving)) {
        if (s.record && renamed(s))
            addRecord(*s.record);
    }
    for (auto partial = contents.partials.begin(); partial != contents.partials.end();) {
        const QFileInfo kept(partial->file);
        if (!kept.isFile()) {
            partial = contents.partials.erase(partial);
        } else {
            partial->size = kept.size();
            ++partial;
        }
    }
    return true;
}

}  // namespace pm
