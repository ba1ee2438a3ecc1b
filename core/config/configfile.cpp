#include "core/config/configfile.h"

#include "core/diagnostics/activitylog.h"
#include "core/config/atomicfile.h"
#include "core/config/configformat.h"
#include "core/diagnostics/errors.h"
#include "core/diagnostics/errorscope.h"
#include "core/config/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>

namespace pm {

namespace {

const QString kEol = QStringLiteral("\r\n");

// One setting's line in the file. The table below gives the file's keys, in
// the order a save writes them, and the field each one stands for.
struct SettingKey {
    enum Kind {
        Text,
        Flag,
        InvertedFlag,  // the file stores the opposite of the field
        DefaultOnFlag, // on unless the file gives a value (read when the defaults apply)
        Number,
        Count,         // a whole number in a range; written only when it differs from its default
        OptionalFlag,  // a flag written only when it differs from its default
    };
    const char* key;
    Kind kind;
    QString Settings::*text = nullptr;
    bool Settings::*flag = nullptr;
    float Settings::*number = nullptr;
    int Settings::*count = nullptr;
    int defaultCount = 0;
    int minimum = 0;
    int maximum = 0;
    bool defaultFlag = false;
};

const SettingKey kSettingKeys[] = {
    {.key = "strG_SavePath", .kind = SettingKey::Text, .text = &Settings::outputFolder},
    {.key = "strG_LogFileName", .kind = SettingKey::Text, .text = &Settings::activityLogFile},
    {.key = "strG_FileExt", .kind = SettingKey::Text, .text = &Settings::extensions},
    {.key = "bG_LogDownloads", .kind = SettingKey::DefaultOnFlag, .flag = &Settings::logDownloads},
    {.key = "strG_Unattended", .kind = SettingKey::Text, .text = &Settings::errorModeText},
    {.key = "strG_StartURL", .kind = SettingKey::Text, .text = &Settings::startPageText},
    {.key = "bG_LogCSV", .kind = SettingKey::DefaultOnFlag, .flag = &Settings::logCsv},
    {.key = "bG_ScrapeLink", .kind = SettingKey::DefaultOnFlag, .flag = &Settings::scanLinks},
    {.key = "bG_ScrapeEmbedded", .kind = SettingKey::Flag, .flag = &Settings::scanImages},
    {.key = "bG_MaintainHistory", .kind = SettingKey::InvertedFlag, .flag = &Settings::historyEnabled},
    {.key = "bG_CreatePath", .kind = SettingKey::Flag, .flag = &Settings::askBeforeCreatingFolders},
    {.key = "bG_SaveLarge", .kind = SettingKey::Flag, .flag = &Settings::skipSmallFiles},
    {.key = "sG_FileSize", .kind = SettingKey::Number, .number = &Settings::minimumSizeKB},
    {.key = "strG_FileDupOption", .kind = SettingKey::Text, .text = &Settings::duplicateRuleText},
    {.key = "bG_Disclaimer", .kind = SettingKey::Flag, .flag = &Settings::legalNoticeAccepted},
    // Keys added later: files of users who never change them stay as they were.
    {.key = "iG_Parallel", .kind = SettingKey::Count, .count = &Settings::parallelDownloads, .defaultCount = 1,
     .minimum = 1, .maximum = 8},
    {.key = "iG_Retries", .kind = SettingKey::Count, .count = &Settings::retries, .defaultCount = 2, .minimum = 0,
     .maximum = 10},
    {.key = "bG_SkipArchived", .kind = SettingKey::OptionalFlag, .flag = &Settings::skipArchived},
    {.key = "iG_SameContent", .kind = SettingKey::Count, .count = &Settings::sameContent, .defaultCount = 0,
     .minimum = 0, .maximum = 1},
    {.key = "bG_Probe", .kind = SettingKey::OptionalFlag, .flag = &Settings::probeFoundFiles, .defaultFlag = true},
    {.key = "bG_ClassicScan", .kind = SettingKey::OptionalFlag, .flag = &Settings::classicScan},
    {.key = "bG_ImagesAsShown", .kind = SettingKey::OptionalFlag, .flag = &Settings::imagesAsShown},
    {.key = "bG_FollowOtherSites", .kind = SettingKey::OptionalFlag, .flag = &Settings::followOtherSites},
    {.key = "iG_LinkedPages", .kind = SettingKey::Count, .count = &Settings::linkedPagesLimit, .defaultCount = 100,
     .minimum = 1, .maximum = 1000},
};

const SettingKey* findSettingKey(const QString& key)
{
    static const QHash<QString, const SettingKey*> byName = [] {
        QHash<QString, const SettingKey*> table;
        for (const SettingKey& entry : kSettingKeys)
            table.insert(QLatin1String(entry.key), &entry);
        return table;
    }();
    return byName.value(key, nullptr);
}

QString valueText(const SettingKey& entry, const Settings& s)
{
    switch (entry.kind) {
    case SettingKey::Text: return QLatin1Char('"') + s.*entry.text + QLatin1Char('"');
    case SettingKey::Flag:
    case SettingKey::DefaultOnFlag:
    case SettingKey::OptionalFlag: return flagText(s.*entry.flag);
    case SettingKey::InvertedFlag: return flagText(!(s.*entry.flag));
    case SettingKey::Number: return numberText(s.*entry.number);
    case SettingKey::Count: return QString::number(s.*entry.count);
    }
    return QString();
}

QString settingLines(const Settings& s)
{
    QString out;
    for (const SettingKey& entry : kSettingKeys) {
        if (entry.kind == SettingKey::Count && s.*entry.count == entry.defaultCount)
            continue;
        if (entry.kind == SettingKey::OptionalFlag && s.*entry.flag == entry.defaultFlag)
            continue;
        out += QLatin1Char('"') + QLatin1String(entry.key) + QStringLiteral("\",") + valueText(entry, s) + kEol;
    }
    return out;
}

QString historyLines(const QStringList& history)
{
    QString out;
    for (int i = 0; i < history.size(); ++i)
        out += QStringLiteral("\"URL%1\",\"").arg(i) + history.at(i) + QLatin1Char('"') + kEol;
    return out;
}

QString queueLines(const QStringList& queue, const QStringList& pages)
{
    QString out;
    for (qsizetype i = 0; i < queue.size(); ++i) {
        out += QStringLiteral("\"Queue\",\"") + queue.at(i) + QLatin1Char('"') + kEol;
        // Only a known page gets a line: a queue without pages is written as before.
        if (const QString page = pages.value(i); !page.isEmpty())
            out += QStringLiteral("\"QueueFrom\",\"") + page + QLatin1Char('"') + kEol;
    }
    return out;
}

// A history line as read: the number after "URL", rounded half to even as
// whole-number conversions of the file's indexes do, and its text.
struct HistoryLine {
    double index;
    QString value;
};

// Puts the file's history lines into the list in the order of their indexes
// (lines with the same index in file order). A line replaces the list's item
// at its index, the first free one after the line before it when that index
// is taken already, or goes at the end when the index lies beyond it: no
// line of the file is dropped, none overwrites another.
void mergeHistory(QStringList& history, QList<HistoryLine> lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const HistoryLine& a, const HistoryLine& b) { return a.index < b.index; });
    qsizetype previous = -1;
    for (const HistoryLine& line : lines) {
        const double wanted = std::max(line.index, double(previous + 1));
        if (wanted >= double(history.size())) {
            previous = history.size();
            history.append(line.value);
        } else {
            previous = qsizetype(wanted);
            history[previous] = line.value;
        }
    }
}

// The error as a load reports it: the detail names the line.
RuntimeError onLine(const RuntimeError& error, int lineNumber)
{
    const QString where = QStringLiteral("line %1").arg(lineNumber);
    return RuntimeError::of(error.number,
                            error.detail.isEmpty() ? where : error.detail + QStringLiteral(" (") + where + QLatin1Char(')'));
}

// Runs one step of a load for the line `lineNumber`: a failure names the line.
template <typename Step>
void readStep(ErrorScope& scope, int lineNumber, Step&& run)
{
    scope.stepThrough([&] {
        try {
            run();
        } catch (const RuntimeError& error) {
            throw onLine(error, lineNumber);
        }
    });
}

// The file's text: UTF-8, or Latin-1 when it is not valid UTF-8 (a file
// edited by hand in an 8-bit editor), so that every byte keeps its character.
QString decodedText(const QByteArray& content, bool* wasLatin1)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(content);
    *wasLatin1 = utf8.hasError();
    return *wasLatin1 ? QString::fromLatin1(content) : text;
}

// The log line for a line without exactly two fields: the key, "=", and the
// rest of the line after the first comma.
QString unrecognisedLineText(const QString& key, QStringView line)
{
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    const QString rest = comma < 0 ? QString() : line.mid(comma + 1).toString();
    return QStringLiteral("Don't recognize ini line: ") + key + QLatin1Char('=') + rest;
}

// Splits the file's text into lines at CR LF, LF or CR.
QList<QStringView> textLines(QStringView all)
{
    QList<QStringView> lines;
    qsizetype pos = 0;
    while (pos < all.size()) {
        qsizetype end = pos;
        while (end < all.size() && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r'))
            ++end;
        lines.append(all.mid(pos, end - pos));
        pos = end;
        if (pos < all.size() && all[pos] == QLatin1Char('\r'))
            ++pos;
        if (pos < all.size() && all[pos] == QLatin1Char('\n'))
            ++pos;
    }
    return lines;
}

// A DefaultOnFlag value as read, with its line for a report.
struct RememberedFlag {
    ConfigField value;
    int lineNumber = 0;
};

// Whatever is still unset after a load.
void applyDefaults(Settings& s, const QHash<QString, RememberedFlag>& defaultOnFlags, ErrorScope& scope)
{
    if (s.extensions.isEmpty())
        s.extensions = QString::fromLatin1(kDefaultExtensions);
    for (const SettingKey& entry : kSettingKeys) {
        if (entry.kind != SettingKey::DefaultOnFlag)
            continue;
        const RememberedFlag flag = defaultOnFlags.value(QLatin1String(entry.key));
        readStep(scope, flag.lineNumber,
                 [&] { s.*entry.flag = flag.value.text.isEmpty() ? true : flagFromField(flag.value); });
    }
    if (s.startPageText.isEmpty())
        s.startPageText = QStringLiteral("home");
    if (s.outputFolder.isEmpty())
        s.outputFolder = s.defaultOutputFolder;
    if (s.activityLogFile.isEmpty())
        s.activityLogFile = s.defaultLogFile;
}

}  // namespace

QString configurationText(const Settings& settings, const ConfigurationLists& lists)
{
    return settingLines(settings) + historyLines(lists.history) + queueLines(lists.queue, lists.queuePages);
}

bool saveConfiguration(const QString& fileName, const Settings& settings, const ConfigurationLists& lists,
                       ErrorReporter& errors)
{
    // One step: the first failure ends the save, so a failed save is one
    // report (and in Prompt mode one question), and the old file stays whole.
    ErrorScope scope(errors, QStringLiteral("SaveINI."));
    AtomicFileWriter file(fileName);
    bool committed = false;
    scope.step([&] {
        if (!file.open())
            throw fileOpenError(errno, fileName, true);
        if (!file.write(configurationText(settings, lists).toUtf8()))
            throw fileWriteError(errno, fileName);
        if (!file.commit())
            throw fileWriteError(errno, fileName);
        committed = true;
    });
    return committed;
}

bool keepConfigurationCopy(const QString& fileName, ErrorReporter& errors, ActivityLog& log)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        return true;  // nothing there, or no file that holds data (a pipe)
    const QString copyName = fileName + QStringLiteral(".bak");
    ErrorScope scope(errors, QStringLiteral("SaveINI."));
    scope.step([&] {
        QFile source(fileName);
        errno = 0;
        if (!source.open(QIODevice::ReadOnly))
            throw fileOpenError(errno, fileName, false);
        const QByteArray content = source.readAll();
        if (source.error() != QFileDevice::NoError)
            throw RuntimeError::of(ErrDeviceIO, fileName);
        AtomicFileWriter copy(copyName);
        if (!copy.open())
            throw fileOpenError(errno, copyName, true);
        copy.setPermissions(info.permissions());  // the copy is as private as the file
        if (!copy.write(content) || !copy.commit())
            throw fileWriteError(errno, copyName);
    });
    if (scope.reportCount() > 0)
        return false;
    log.write(QStringLiteral("Kept a copy of %1 as it was in %2").arg(fileName, copyName));
    return true;
}

bool loadConfiguration(const QString& fileName, Settings& settings, ConfigurationLists& lists, ErrorReporter& errors,
                       ActivityLog& log, bool* keepCopy)
{
    ErrorScope scope(errors, QStringLiteral("LoadINI."));
    QHash<QString, RememberedFlag> defaultOnFlags;
    QList<HistoryLine> historyLines;
    bool lost = false;  // a line the next save will not write back

    const QFileInfo info(fileName);
    if (info.exists()) {
        QByteArray content;
        scope.stepThrough([&] {
            // Folders, pipes and devices are refused: reading one could
            // block forever or never end.
            if (!info.isFile())
                throw RuntimeError::of(ErrPathFileAccess, fileName);
            QFile file(fileName);
            errno = 0;
            if (!file.open(QIODevice::ReadOnly))
                throw fileOpenError(errno, fileName, false);
            content = file.readAll();
            if (file.error() != QFileDevice::NoError)
                throw RuntimeError::of(ErrDeviceIO, fileName);
        });

        bool wasLatin1 = false;
        const QString text = decodedText(content, &wasLatin1);
        lost = wasLatin1;  // written back as UTF-8
        content.clear();
        int lineNumber = 0;
        bool queueLineBefore = false;
        for (QStringView line : textLines(text)) {
            ++lineNumber;
            const bool afterQueueLine = std::exchange(queueLineBefore, false);
            const QList<ConfigField> fields = splitConfigLine(line);
            if (fields.isEmpty())
                continue;
            // Nothing of a line cut short is taken: the copy keeps it.
            if (std::any_of(fields.begin(), fields.end(), [](const ConfigField& f) { return f.cut; })) {
                readStep(scope, lineNumber, [] { throw RuntimeError::of(ErrLineNotWhole); });
                continue;
            }
            const QString& key = fields[0].text;
            if (fields.size() != 2) {
                // A line the program never writes: keep it visible in the log.
                log.write(unrecognisedLineText(key, line));
                lost = true;
                continue;
            }
            const ConfigField& value = fields[1];
            if (key.startsWith(QLatin1String("URL"))) {
                historyLines.append({std::nearbyint(leadingNumber(QStringView(key).mid(3))), value.text});
                continue;
            }
            if (key == QLatin1String("Queue")) {
                lists.queuePages.resize(lists.queue.size());
                lists.queue.append(value.text);
                lists.queuePages.append(QString());
                queueLineBefore = true;
                continue;
            }
            // The page belongs to the entry of the line before it; anywhere
            // else the line is not one the program writes.
            if (key == QLatin1String("QueueFrom") && afterQueueLine) {
                lists.queuePages.last() = value.text;
                continue;
            }
            const SettingKey* entry = findSettingKey(key);
            if (!entry) {
                log.write(QStringLiteral("Don't recognize ini line: ") + key + QLatin1Char('=') + value.text);
                lost = true;
                continue;
            }
            // A value that does not convert is reported and leaves its field
            // as it was; the next line is read whatever the error mode.
            readStep(scope, lineNumber, [&] {
                switch (entry->kind) {
                case SettingKey::Text: settings.*entry->text = value.text; break;
                case SettingKey::Flag:
                case SettingKey::OptionalFlag: settings.*entry->flag = flagFromField(value); break;
                case SettingKey::InvertedFlag: settings.*entry->flag = !flagFromField(value); break;
                case SettingKey::DefaultOnFlag: defaultOnFlags.insert(key, {value, lineNumber}); break;
                case SettingKey::Number: settings.*entry->number = numberFromField(value); break;
                case SettingKey::Count:
                    settings.*entry->count = int(std::clamp(double(numberFromField(value)), double(entry->minimum),
                                                            double(entry->maximum)));
                    break;
                }
            });
        }
    }
    mergeHistory(lists.history, std::move(historyLines));
    applyDefaults(settings, defaultOnFlags, scope);
    if (keepCopy)
        *keepCopy = lost || scope.reportCount() > 0;
    return !scope.aborted();
}

}  // namespace pm
