#include "settings/configfile.h"

#include "common/errors.h"
#include "common/replacefile.h"
#include "logs/activitylog.h"
#include "logs/errorscope.h"
#include "settings/inireader.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <limits>

namespace pm {

namespace {

const QString kEol = QStringLiteral("\r\n");

void appendText(QString& out, QLatin1String key, const QString& value)
{
    out += QLatin1Char('"') + key + QStringLiteral("\",\"") + value + QLatin1Char('"') + kEol;
}

void appendRaw(QString& out, QLatin1String key, const QString& value)
{
    out += QLatin1Char('"') + key + QStringLiteral("\",") + value + kEol;
}

QString settingLines()
{
    const Settings& s = settings();
    QString out;
    appendText(out, QLatin1String("strG_SavePath"), s.strG_SavePath);
    appendText(out, QLatin1String("strG_LogFileName"), s.strG_LogFileName);
    appendText(out, QLatin1String("strG_FileExt"), s.strG_FileExt);
    appendRaw(out, QLatin1String("bG_LogDownloads"), iniFlagText(s.bG_LogDownloads));
    appendText(out, QLatin1String("strG_Unattended"), s.strG_Unattended);
    appendText(out, QLatin1String("strG_StartURL"), s.strG_StartURL);
    appendRaw(out, QLatin1String("bG_LogCSV"), iniFlagText(s.bG_LogCSV));
    appendRaw(out, QLatin1String("bG_ScrapeLink"), iniFlagText(s.bG_ScrapeLink));
    appendRaw(out, QLatin1String("bG_ScrapeEmbedded"), iniFlagText(s.bG_ScrapeEmbedded));
    appendRaw(out, QLatin1String("bG_MaintainHistory"), iniFlagText(s.bG_MaintainHistory));
    appendRaw(out, QLatin1String("bG_CreatePath"), iniFlagText(s.bG_CreatePath));
    appendRaw(out, QLatin1String("bG_SaveLarge"), iniFlagText(s.bG_SaveLarge));
    appendRaw(out, QLatin1String("sG_FileSize"), iniNumberText(s.sG_FileSize));
    appendText(out, QLatin1String("strG_FileDupOption"), s.strG_FileDupOption);
    appendRaw(out, QLatin1String("bG_Disclaimer"), iniFlagText(s.bG_Disclaimer));
    return out;
}

QString historyLines(const QStringList& history)
{
    QString out;
    for (int i = 0; i < history.size(); ++i)
        out += QStringLiteral("\"URL") + QString::number(i) + QStringLiteral("\",\"") + history.at(i) + QLatin1Char('"') + kEol;
    return out;
}

QString queueLines()
{
    QString out;
    for (const QString& url : settings().colG_Queue)
        out += QStringLiteral("\"Queue\",\"") + url + QLatin1Char('"') + kEol;
    return out;
}

void writeBlock(ReplaceFile& file, const QString& fileName, const QString& text)
{
    if (!file.isOpen())
        throw RuntimeError::of(ErrBadFileName, fileName);
    if (!file.write(text.toUtf8()))
        throw fileWriteError(errno, fileName);
}

// Rounds half to even, as whole-number conversions of the file's indexes do.
int historyIndex(QStringView keyRest)
{
    const double value = std::nearbyint(leadingNumber(keyRest));
    if (!std::isfinite(value) || value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        throw RuntimeError::of(ErrOverflow, keyRest.toString());
    return int(value);
}

void setHistoryItem(QStringList& history, int index, const QString& value)
{
    if (index < 0 || index > history.size())
        throw RuntimeError::of(ErrInvalidIndex, QString::number(index));
    if (index == history.size())
        history.append(value);
    else
        history[index] = value;
}

// The three flags that are true unless the file gives them: their values are
// only remembered while reading and converted when the defaults apply.
struct RememberedFlags {
    IniField logDownloads;
    IniField logCSV;
    IniField scrapeLink;
};

void applyLoadDefaults(const RememberedFlags& remembered, ErrorScope& scope)
{
    Settings& s = settings();
    auto flagDefault = [&](const IniField& value, bool& field) {
        scope.step([&] { field = value.text.isEmpty() ? true : iniFieldToFlag(value); });
        return !scope.aborted();
    };
    if (s.strG_FileExt.isEmpty())
        s.strG_FileExt = QString::fromLatin1(kDefaultFileExt);
    if (!flagDefault(remembered.logDownloads, s.bG_LogDownloads))
        return;
    if (!flagDefault(remembered.logCSV, s.bG_LogCSV))
        return;
    if (!flagDefault(remembered.scrapeLink, s.bG_ScrapeLink))
        return;
    if (s.strG_StartURL.isEmpty())
        s.strG_StartURL = QStringLiteral("home");
    if (s.strG_SavePath.isEmpty())
        s.strG_SavePath = s.strG_AppPath;
    if (s.strG_LogFileName.isEmpty())
        s.strG_LogFileName = s.strG_AppPath + QDir::separator() + QStringLiteral("pulmark.log");
}

}  // namespace

QString configurationText(const QStringList& history)
{
    return settingLines() + historyLines(history) + queueLines();
}

void SaveINI(const QString& fileName, const QStringList& history)
{
    ErrorScope scope(QStringLiteral("SaveINI."));
    ReplaceFile file(fileName);  // the old file stays whole until the commit

    if (!scope.step([&] {
            if (!file.open())
                throw fileOpenError(errno, fileName, true);
        }))
        return;
    if (!scope.step([&] { writeBlock(file, fileName, settingLines()); }))
        return;
    if (!scope.step([&] { writeBlock(file, fileName, historyLines(history)); }))
        return;
    if (!scope.step([&] { writeBlock(file, fileName, queueLines()); }))
        return;
    scope.step([&] {
        if (!file.isOpen())
            return;  // the open was reported already
        if (scope.reportCount() > 0) {
            // A part is missing: keep the previous file rather than replace
            // it with an incomplete one. The failure was reported already.
            file.cancel();
            return;
        }
        if (!file.commit())
            throw fileWriteError(errno, fileName);
    });
}

bool LoadINI(const QString& fileName, QStringList& history)
{
    ErrorScope scope(QStringLiteral("LoadINI."));
    Settings& s = settings();
    RememberedFlags remembered;

    const QFileInfo info(fileName);
    if (info.exists()) {
        QByteArray content;
        bool opened = false;
        if (!scope.step([&] {
                // Folders, pipes and devices are refused: reading one could
                // block forever or never end.
                if (!info.isFile())
                    throw RuntimeError::of(ErrPathFileAccess, fileName);
                QFile file(fileName);
                errno = 0;
                if (!file.open(QIODevice::ReadOnly))
                    throw fileOpenError(errno, fileName, false);
                opened = true;
                content = file.readAll();
                if (file.error() != QFileDevice::NoError)
                    throw RuntimeError::of(ErrDeviceIO, fileName);
            }))
            return false;

        if (opened) {
            const QString text = QString::fromUtf8(content);
            content.clear();
            const QStringView all(text);
            qsizetype pos = 0;
            while (pos < all.size()) {
                qsizetype end = pos;
                while (end < all.size() && all[end] != QLatin1Char('\n') && all[end] != QLatin1Char('\r'))
                    ++end;
                const QStringView line = all.mid(pos, end - pos);
                pos = end;
                if (pos < all.size() && all[pos] == QLatin1Char('\r'))
                    ++pos;
                if (pos < all.size() && all[pos] == QLatin1Char('\n'))
                    ++pos;

                const QList<IniField> fields = splitIniFields(line);
                if (fields.isEmpty())
                    continue;
                const QString& key = fields[0].text;
                if (fields.size() != 2) {
                    // A line the program never writes: keep it visible in the log.
                    const qsizetype comma = line.indexOf(QLatin1Char(','));
                    const QString rest = comma < 0 ? QString() : line.mid(comma + 1).toString();
                    WriteLog(QStringLiteral("Don't recognize ini line: ") + key + QLatin1Char('=') + rest);
                    continue;
                }
                const IniField& value = fields[1];

                const bool carryOn = scope.step([&] {
                    if (key.startsWith(QLatin1String("URL"))) {
                        setHistoryItem(history, historyIndex(QStringView(key).mid(3)), value.text);
                    } else if (key == QLatin1String("strG_SavePath")) {
                        s.strG_SavePath = value.text;
                    } else if (key == QLatin1String("strG_LogFileName")) {
                        s.strG_LogFileName = value.text;
                    } else if (key == QLatin1String("strG_FileExt")) {
                        s.strG_FileExt = value.text;
                    } else if (key == QLatin1String("strG_Unattended")) {
                        s.strG_Unattended = value.text;
                    } else if (key == QLatin1String("strG_StartURL")) {
                        s.strG_StartURL = value.text;
                    } else if (key == QLatin1String("strG_FileDupOption")) {
                        s.strG_FileDupOption = value.text;
                    } else if (key == QLatin1String("bG_LogDownloads")) {
                        remembered.logDownloads = value;
                    } else if (key == QLatin1String("bG_LogCSV")) {
                        remembered.logCSV = value;
                    } else if (key == QLatin1String("bG_ScrapeLink")) {
                        remembered.scrapeLink = value;
                    } else if (key == QLatin1String("bG_ScrapeEmbedded")) {
                        s.bG_ScrapeEmbedded = iniFieldToFlag(value);
                    } else if (key == QLatin1String("bG_MaintainHistory")) {
                        s.bG_MaintainHistory = iniFieldToFlag(value);
                    } else if (key == QLatin1String("bG_CreatePath")) {
                        s.bG_CreatePath = iniFieldToFlag(value);
                    } else if (key == QLatin1String("bG_SaveLarge")) {
                        s.bG_SaveLarge = iniFieldToFlag(value);
                    } else if (key == QLatin1String("bG_Disclaimer")) {
                        s.bG_Disclaimer = iniFieldToFlag(value);
                    } else if (key == QLatin1String("sG_FileSize")) {
                        s.sG_FileSize = iniFieldToSingle(value);
                    } else if (key == QLatin1String("Queue")) {
                        s.colG_Queue.append(value.text);
                    } else {
                        WriteLog(QStringLiteral("Don't recognize ini line: ") + key + QLatin1Char('=') + value.text);
                    }
                });
                if (!carryOn)
                    return false;
            }
        }
    }

    applyLoadDefaults(remembered, scope);
    return !scope.aborted();
}

}  // namespace pm
