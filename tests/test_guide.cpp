// The user guide's build tool: the Markdown writer and the README's copies
// of the guide's sections.
#include "tools/guidesections.h"
#include "tools/markdownhtml.h"

#include <QtTest>

using namespace pm;

namespace {
QString bodyOf(const QString& html)
{
    const qsizetype start = html.indexOf(QLatin1String("<body>")) + 7;
    return html.mid(start, html.indexOf(QLatin1String("</body>")) - start);
}
}  // namespace

class TestGuide : public QObject {
    Q_OBJECT
private slots:
    void headingAnchors_data()
    {
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("words") << "The Work Queue window" << "the-work-queue-window";
        QTest::newRow("punctuation dropped") << "Options: Output, (and more)!" << "options-output-and-more";
        QTest::newRow("hyphens and underscores kept") << "The --config file_name" << "the---config-file_name";
        QTest::newRow("apostrophe") << "What's new" << "whats-new";
        QTest::newRow("letters of any language") << "Übersicht Ärger" << "übersicht-ärger";
    }
    void headingAnchors()
    {
        QFETCH(QString, heading);
        QFETCH(QString, anchor);
        QCOMPARE(headingAnchor(heading), anchor);
    }

    void markdownToHtml_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("body");
        QTest::newRow("heading anchors, repeated ones numbered")
            << "# Guide\n\n## `pullmark` & you\n\n## Pullmark & you\n\n## Pullmark & you"
            << "<h1 id=\"guide\">Guide</h1>\n<h2 id=\"pullmark--you\"><code>pullmark</code> &amp; you</h2>\n"
               "<h2 id=\"pullmark--you-1\">Pullmark &amp; you</h2>\n<h2 id=\"pullmark--you-2\">Pullmark &amp; you</h2>\n";
        QTest::newRow("a link keeps its bold words inside")
            << "Press [**Add** to Queue](#queue) if 1 < 2 & more."
            << "<p>Press <a href=\"#queue\"><strong>Add</strong> to Queue</a> if 1 &lt; 2 &amp; more.</p>\n";
        QTest::newRow("nested lists")
            << "1. one\n2. two\n   - a\n   - b\n3. three\n\nafter"
            << "<ol>\n<li>one</li>\n<li>two<ul>\n<li>a</li>\n<li>b</li>\n</ul>\n</li>\n<li>three</li>\n</ol>\n"
               "<p>after</p>\n";
        QTest::newRow("code block escaped, lines kept")
            << "```\npullmark <URL>\n  --help\n```\n"
            << "<pre><code>pullmark &lt;URL&gt;\n  --help</code></pre>\n";
        QTest::newRow("table with a plain header row")
            << "| key | does |\n|---|---|\n| `F1` | help |\n"
            << "<table>\n<thead>\n<tr><th>key</th><th>does</th></tr>\n</thead>\n<tbody>\n"
               "<tr><td><code>F1</code></td><td>help</td></tr>\n</tbody>\n</table>\n";
        QTest::newRow("picture and quote")
            << "![The \"Options\" dialog](options.png)\n\n> Note."
            << "<p><img src=\"options.png\" alt=\"The &quot;Options&quot; dialog\"></p>\n"
               "<blockquote>\n<p>Note.</p>\n</blockquote>\n";
        QTest::newRow("a per cent sign is text") << "Exec=pullmark %U %1" << "<p>Exec=pullmark %U %1</p>\n";
    }
    void markdownToHtml()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, body);
        QCOMPARE(bodyOf(pm::markdownToHtml(markdown, QString())), body);
    }

    void readmeCopies_data()
    {
        const QString guide = QStringLiteral(
            "# Guide\n\n## First steps\n\nSee [Files](#files), [Steps](#first-steps) and "
            "![a picture](shot.png) or [the web](https://example.org/x).\n\n```\n[x](#files)\n```\n\n\n"
            "## Files\n\n### Where\n\nHere.\n\n## Files\n");
        QTest::addColumn<QString>("guide");
        QTest::addColumn<QString>("readme");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error");
        QTest::newRow("links made to work from the README")
            << guide << "# Readme\n\n<!-- guide: first-steps -->\nold text\n<!-- end of guide section -->\nEnd.\n"
            << "# Readme\n\n<!-- guide: first-steps -->\n## First steps\n\nSee [Files](docs/user-guide.md#files), "
               "[Steps](#first-steps) and ![a picture](docs/shot.png) or [the web](https://example.org/x).\n\n"
               "```\n[x](#files)\n```\n\n<!-- end of guide section -->\nEnd.\n"
            << "";
        QTest::newRow("a section the README holds too, with its subsections; a repeated heading")
            << guide
            << "<!-- guide: first-steps -->\n<!-- end of guide section -->\n"
               "<!-- guide: files -->\n<!-- end of guide section -->\n<!-- guide: files-1 -->\n<!-- end of guide section -->"
            << "<!-- guide: first-steps -->\n## First steps\n\nSee [Files](#files), [Steps](#first-steps) and "
               "![a picture](docs/shot.png) or [the web](https://example.org/x).\n\n```\n[x](#files)\n```\n\n"
               "<!-- end of guide section -->\n<!-- guide: files -->\n## Files\n\n### Where\n\nHere.\n\n"
               "<!-- end of guide section -->\n<!-- guide: files-1 -->\n## Files\n\n<!-- end of guide section -->"
            << "";
        QTest::newRow("a section the guide lacks") << guide << "x\n<!-- guide: nothing -->\n<!-- end of guide section -->\n"
                                                   << "" << "README line 2: the guide has no section \"nothing\"";
        QTest::newRow("no end") << guide << "<!-- guide: files -->\n## Files\n" << ""
                                << "README line 1: no \"<!-- end of guide section -->\" after it";
    }
    void readmeCopies()
    {
        QFETCH(QString, guide);
        QFETCH(QString, readme);
        QFETCH(QString, result);
        QFETCH(QString, error);
        const ReadmeUpdate update = readmeWithGuideSections(readme, guide, QStringLiteral("docs/user-guide.md"));
        QCOMPARE(update.error, error);
        QCOMPARE(update.text, error.isEmpty() ? result : readme);
    }

};

QTEST_MAIN(TestGuide)
#include "test_guide.moc"
