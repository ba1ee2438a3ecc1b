#include "core/config/progressjournal.h"

#include <QFileInfo>
#include <QHash>

namespace pm {

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

void ProgressJournal::append(const char* word, const QStringList& texts)
{
    if (m_fileName.isEmpty())
        return;
    if (!m_file.isOpen()) {
        m_file.setFileName(m_fileName);
        // Unbuffered: each line reaches the system at once, so a killed
        // program loses nothing written before.
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return;  // the next configuration save still keeps everything
    }
    QByteArray lines;
    for (const QString& text : texts)
        lines += QByteArray(word) + ' ' + text.toUtf8() + '\n';
    if (m_file.write(lines) == lines.size())
        m_size += lines.size();
}

void ProgressJournal::clear()
{
    m_file.close();
    if (!m_fileName.isEmpty())
        QFile::remove(m_fileName);
    m_size = 0;
}

bool ProgressJournal::replay(const QString& fileName, QStringList& queue)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeLast();  // empty after the last line end, or a line cut off by the crash

    QHash<QString, QString> saving;  // URL -> temporary file, for renames that may not have happened
    for (const QByteArray& line : lines) {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray word = line.left(blank);
        const QString text = QString::fromUtf8(line.mid(blank + 1));
        if (word == "add") {
            queue.append(text);
        } else if (word == "remove") {
            queue.removeOne(text);
            saving.remove(text);
        } else if (word == "failed") {
            saving.remove(text);
        } else if (word == "saving") {
            const qsizetype gap = text.indexOf(QLatin1Char(' '));
            saving.insert(text.mid(gap + 1), text.left(gap));
        }
    }
    for (auto it = saving.cbegin(); it != saving.cend(); ++it) {
        if (!QFileInfo::exists(it.value()))
            queue.removeOne(it.key());
    }
    return true;
}

}  // namespace pm
