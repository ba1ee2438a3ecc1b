#include "tools/markdownhtml.h"

#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <utility>

namespace pm {

QString headingAnchor(const QString& heading)
{
    QString anchor;
    for (const QChar c : heading.toLower()) {
        if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            anchor += c;
        else if (c == QLatin1Char(' '))
            anchor += QLatin1Char('-');
    }
    return anchor;
}

QString HeadingAnchors::next(const QString& heading)
{
    const QString base = headingAnchor(heading);
    QString anchor = base;
    for (int n = 1; m_used.contains(anchor); ++n)
        anchor = base + QLatin1Char('-') + QString::number(n);
    m_used.insert(anchor);
    return anchor;
}

namespace {

QString escaped(const QString& text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QChar::LineSeparator, QLatin1String("<br>\n"));
    return out;
}

// The inline markup of one block: links, strong, emphasis, struck-out and
// code spans, and pictures. Neighbouring fragments share the tags they both
// have, so a link with a bold word in it stays one link.
class InlineWriter {
public:
    explicit InlineWriter(bool plainWeight) : m_plainWeight(plainWeight) {}

    QString write(const QTextBlock& block)
    {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                closeFrom(0);
                const QTextImageFormat image = format.toImageFormat();
                for (qsizetype i = 0; i < fragment.text().size(); ++i)
                    m_out += QStringLiteral("<img src=\"%1\" alt=\"%2\">")
                                 .arg(image.name().toHtmlEscaped(),
                                      image.stringProperty(QTextFormat::ImageAltText).toHtmlEscaped());
                continue;
            }
            setTags(tagsFor(format));
            m_out += escaped(fragment.text());
        }
        closeFrom(0);
        return std::exchange(m_out, QString());
    }

private:
    // An open tag: what opens it, and its name to close it.
    struct Tag {
        QString open;
        QString name;
        bool operator==(const Tag&) const = default;
    };

    QList<Tag> tagsFor(const QTextCharFormat& format) const
    {
        QList<Tag> tags;
        if (format.isAnchor() && !format.anchorHref().isEmpty())
            tags.append({QStringLiteral("<a href=\"%1\">").arg(format.anchorHref().toHtmlEscaped()),
                         QStringLiteral("a")});
        if (!m_plainWeight && format.fontWeight() > QFont::Normal)
            tags.append({QStringLiteral("<strong>"), QStringLiteral("strong")});
        if (format.fontItalic())
            tags.append({QStringLiteral("<em>"), QStringLiteral("em")});
        if (format.fontStrikeOut())
            tags.append({QStringLiteral("<del>"), QStringLiteral("del")});
        if (format.fontFixedPitch())
            tags.append({QStringLiteral("<code>"), QStringLiteral("code")});
        return tags;
    }

    void setTags(const QList<Tag>& wanted)
    {
        qsizetype same = 0;
        while (same < m_open.size() && same < wanted.size() && m_open[same] == wanted[same])
            ++same;
        closeFrom(same);
        for (qsizetype i = same; i < wanted.size(); ++i) {
            m_out += wanted[i].open;
            m_open.append(wanted[i]);
        }
    }

    void closeFrom(qsizetype level)
    {
        while (m_open.size() > level)
            m_out += QStringLiteral("</%1>").arg(m_open.takeLast().name);
    }

    const bool m_plainWeight;  // headings and header cells are bold by their own markup
    QList<Tag> m_open;
    QString m_out;
};

QString inlineHtml(const QTextBlock& block, bool plainWeight = false)
{
    return InlineWriter(plainWeight).write(block);
}

bool isCode(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    return format.hasProperty(QTextFormat::BlockCodeFence) || format.nonBreakableLines();
}

bool isNumbered(const QTextList* list)
{
    const QTextListFormat::Style style = list->format().style();
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha
        || style == QTextListFormat::ListUpperAlpha || style == QTextListFormat::ListLowerRoman
        || style == QTextListFormat::ListUpperRoman;
}

// Walks the document's blocks and tables in order and writes the body.
class BodyWriter {
public:
    QString title;

    QString write(QTextFrame* root)
    {
        for (auto it = root->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* frame = it.currentFrame()) {
                endRuns();
                if (auto* table = qobject_cast<QTextTable*>(frame))
                    writeTable(table);
            } else {
                writeBlock(it.currentBlock());
            }
        }
        endRuns();
        return m_out;
    }

private:
    // An open list, and whether its last item is still open.
    struct OpenList {
        QTextList* list;
        bool itemOpen;
    };

    void writeBlock(const QTextBlock& block)
    {
        const QTextBlockFormat format = block.blockFormat();
        if (isCode(block)) {
            closeLists();
            endQuote();
            m_out += m_inCode ? QStringLiteral("\n") : QStringLiteral("<pre><code>");
            m_inCode = true;
            m_out += block.text().toHtmlEscaped();
            return;
        }
        endCode();
        if (QTextList* list = block.textList()) {
            endQuote();
            writeListItem(list, block);
            return;
        }
        closeLists();
        const bool quoted = format.intProperty(QTextFormat::BlockQuoteLevel) > 0;
        if (quoted && !m_inQuote)
            m_out += QStringLiteral("<blockquote>\n");
        else if (!quoted)
            endQuote();
        m_inQuote = quoted;

        if (const int level = format.headingLevel(); level > 0) {
            const QString text = block.text();
            if (title.isEmpty())
                title = text;
            m_out += QStringLiteral("<h%1 id=\"%2\">%3</h%1>\n")
                         .arg(level)
                         .arg(m_anchors.next(text).toHtmlEscaped(), inlineHtml(block, true));
        } else if (format.hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
            m_out += QStringLiteral("<hr>\n");
        } else if (!block.text().isEmpty()) {
            m_out += QStringLiteral("<p>") + inlineHtml(block) + QStringLiteral("</p>\n");
        }
    }

    void writeListItem(QTextList* list, const QTextBlock& block)
    {
        // A list further out, or a sibling at the same depth, ends the
        // deeper lists; a deeper one opens inside the open item.
        while (!m_lists.isEmpty() && m_lists.last().list != list
               && m_lists.last().list->format().indent() >= list->format().indent())
            closeList();
        if (m_lists.isEmpty() || m_lists.last().list != list) {
            m_out += isNumbered(list) ? QStringLiteral("<ol>\n") : QStringLiteral("<ul>\n");
            m_lists.append({list, false});
        }
        OpenList& open = m_lists.last();
        if (open.itemOpen)
            m_out += QStringLiteral("</li>\n");
        m_out += QStringLiteral("<li>") + inlineHtml(block);
        open.itemOpen = true;
    }

    void closeList()
    {
        const OpenList open = m_lists.takeLast();
        if (open.itemOpen)
            m_out += QStringLiteral("</li>\n");
        m_out += isNumbered(open.list) ? QStringLiteral("</ol>\n") : QStringLiteral("</ul>\n");
    }

    void closeLists()
    {
        while (!m_lists.isEmpty())
            closeList();
    }

    void endCode()
    {
        if (m_inCode)
            m_out += QStringLiteral("</code></pre>\n");
        m_inCode = false;
    }

    void endQuote()
    {
        if (m_inQuote)
            m_out += QStringLiteral("</blockquote>\n");
        m_inQuote = false;
    }

    void endRuns()
    {
        endCode();
        closeLists();
        endQuote();
    }

    void writeTable(QTextTable* table)
    {
        // A Markdown table always has its header row.
        const int headerRows = std::max(1, table->format().headerRowCount());
        m_out += QStringLiteral("<table>\n");
        for (int row = 0; row < table->rows(); ++row) {
            const QString cellTag = row < headerRows ? QStringLiteral("th") : QStringLiteral("td");
            if (row == 0)
                m_out += QStringLiteral("<thead>\n");
            else if (row == headerRows)
                m_out += QStringLiteral("<tbody>\n");
            m_out += QStringLiteral("<tr>");
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QStringList parts;
                for (auto it = cell.begin(); !it.atEnd(); ++it) {
                    if (it.currentBlock().isValid() && !it.currentBlock().text().isEmpty())
                        parts << inlineHtml(it.currentBlock(), row < headerRows);
                }
                m_out += QStringLiteral("<%1>%2</%1>").arg(cellTag, parts.join(QStringLiteral("<br>")));
            }
            m_out += QStringLiteral("</tr>\n");
            if (row == headerRows - 1)
                m_out += QStringLiteral("</thead>\n");
        }
        if (table->rows() > headerRows)
            m_out += QStringLiteral("</tbody>\n");
        m_out += QStringLiteral("</table>\n");
    }

    QString m_out;
    HeadingAnchors m_anchors;
    QList<OpenList> m_lists;
    bool m_inCode = false;
    bool m_inQuote = false;
};

}  // namespace

QString markdownToHtml(const QString& markdown, const QString& styleSheet)
{
    QTextDocument document;
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    BodyWriter writer;
    const QString body = writer.write(document.rootFrame());
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>%1</title>\n<style>\n%2</style>\n</head>\n<body>\n%3</body>\n</html>\n")
        .arg(writer.title.toHtmlEscaped(), styleSheet, body);
}

}  // namespace pm
