#include "tools/guidesections.h"

#include "tools/markdownhtml.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTextDocument>

namespace pm {

namespace {

const QRegularExpression kHeading(QStringLiteral("^(#{1,6})\\s+(.*?)\\s*#*\\s*$"));
// [text](target) and ![alt](target), with an optional "title".
const QRegularExpression kLink(QStringLiteral("(!?\\[[^\\]]*\\]\\()([^)\\s]+)((?:\\s+\"[^\"]*\")?\\))"));
const QRegularExpression kCodeSpan(QStringLiteral("`[^`]*`"));
const QRegularExpression kStart(QStringLiteral("^<!-- guide: ([\\w-]+) -->$"));
const QLatin1String kEnd("<!-- end of guide section -->");

bool isFence(const QString& line)
{
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(QLatin1String("```")) || trimmed.startsWith(QLatin1String("~~~"));
}

// Calls `visit(index, line)` for each line outside fenced code blocks.
template <typename Visit>
void forEachTextLine(const QStringList& lines, Visit visit)
{
    bool inCode = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isFence(lines[i])) {
            inCode = !inCode;
            continue;
        }
        if (!inCode)
            visit(i, lines[i]);
    }
}

struct Heading {
    qsizetype line;
    int level;
    QString anchor;
};

QList<Heading> headingsOf(const QStringList& lines)
{
    QList<Heading> headings;
    HeadingAnchors anchors;
    forEachTextLine(lines, [&](qsizetype i, const QString& line) {
        const QRegularExpressionMatch match = kHeading.match(line);
        if (match.hasMatch())
            headings.append({i, int(match.capturedLength(1)), anchors.next(headingText(line))});
    });
    return headings;
}

// The guide's "## " sections by anchor: the heading line and the lines up
// to the next heading of level 1 or 2, without the blank lines at the end.
QHash<QString, QStringList> sectionsOf(const QStringList& lines)
{
    QHash<QString, QStringList> sections;
    const QList<Heading> headings = headingsOf(lines);
    for (qsizetype h = 0; h < headings.size(); ++h) {
        if (headings[h].level != 2)
            continue;
        qsizetype end = lines.size();
        for (qsizetype next = h + 1; next < headings.size(); ++next) {
            if (headings[next].level <= 2) {
                end = headings[next].line;
                break;
            }
        }
        QStringList section = lines.mid(headings[h].line, end - headings[h].line);
        while (!section.isEmpty() && section.last().trimmed().isEmpty())
            section.removeLast();
        sections.insert(headings[h].anchor, section);
    }
    return sections;
}

bool isExternal(const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(target).hasMatch() || target.startsWith(QLatin1Char('/'));
}

// A copied line's links as seen from the README's folder.
QString relinked(const QString& line, const QSet<QString>& readmeAnchors, const QString& guidePath)
{
    const qsizetype slash = guidePath.lastIndexOf(QLatin1Char('/'));
    const QString guideFolder = slash < 0 ? QString() : guidePath.left(slash + 1);
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& link : kLink.globalMatch(line)) {
        QString target = link.captured(2);
        if (target.startsWith(QLatin1Char('#'))) {
            if (!readmeAnchors.contains(target.mid(1)))
                target = guidePath + target;
        } else if (!isExternal(target)) {
            target = guideFolder + target;
        }
        out += line.mid(from, link.capturedStart(0) - from) + link.captured(1) + target + link.captured(3);
        from = link.capturedEnd(0);
    }
    return out + line.mid(from);
}

}  // namespace

QString headingText(const QString& headingLine)
{
    QTextDocument document;
    document.setMarkdown(headingLine, QTextDocument::MarkdownDialectGitHub);
    return document.toPlainText().trimmed();
}

QStringList headingAnchorsOf(const QString& markdown)
{
    QStringList anchors;
    for (const Heading& heading : headingsOf(markdown.split(QLatin1Char('\n'))))
        anchors << heading.anchor;
    return anchors;
}

QStringList linkTargetsOf(const QString& markdown)
{
    QStringList targets;
    forEachTextLine(markdown.split(QLatin1Char('\n')), [&](qsizetype, const QString& line) {
        const QString text = QString(line).remove(kCodeSpan);
        for (const QRegularExpressionMatch& link : kLink.globalMatch(text))
            targets << link.captured(2);
    });
    return targets;
}

ReadmeUpdate readmeWithGuideSections(const QString& readme, const QString& guide, const QString& guidePath)
{
    const QHash<QString, QStringList> sections = sectionsOf(guide.split(QLatin1Char('\n')));
    const QStringList lines = readme.split(QLatin1Char('\n'));
    QStringList out;
    QList<std::pair<qsizetype, qsizetype>> copies;  // [first, last) lines of `out`
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out << lines[i];
        const QRegularExpressionMatch start = kStart.match(lines[i]);
        if (!start.hasMatch())
            continue;
        const QString anchor = start.captured(1);
        const qsizetype end = lines.indexOf(kEnd, i + 1);
        if (end < 0)
            return {readme, QStringLiteral("README line %1: no \"%2\" after it").arg(i + 1).arg(kEnd)};
        if (!sections.contains(anchor))
            return {readme, QStringLiteral("README line %1: the guide has no section \"%2\"").arg(i + 1).arg(anchor)};
        const qsizetype first = out.size();
        out << sections.value(anchor) << QString();
        copies.append({first, out.size()});
        out << lines[end];
        i = end;
    }

    QSet<QString> anchors;
    for (const Heading& heading : headingsOf(out))
        anchors.insert(heading.anchor);
    for (const auto& [first, last] : copies) {
        forEachTextLine(out.mid(first, last - first), [&](qsizetype i, const QString& line) {
            out[first + i] = relinked(line, anchors, guidePath);
        });
    }
    return {out.join(QLatin1Char('\n')), QString()};
}

}  // namespace pm
