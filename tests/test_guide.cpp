// The user guide: the Markdown writer and the README's copies of the guide's
// sections; the guide as shipped (its links, its pictures, every option of
// the Options dialog in its text); and Help and F1 opening it at the right
// section without a network.
#include "archive/sqlitearchive.h"
#include "core/programpages.h"
#include "gui/browserview.h"
#include "gui/folderchooser.h"
#include "gui/historydialog.h"
#include "gui/optionsdialog.h"
#include "gui/workqueuewindow.h"
#include "tests/support/webtest.h"
#include "tools/guidesections.h"
#include "tools/markdownhtml.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextDocument>
#include <QWebEnginePage>
#include <QtTest>

#include <algorithm>

using namespace pm;
using namespace pm::test;

namespace {
QString sourceFile(const char* name)
{
    return QString::fromUtf8(readAll(QStringLiteral(PULLMARK_SOURCE_DIR "/") + QLatin1String(name)));
}

QString shippedGuide()
{
    return QString::fromUtf8(readAll(QStringLiteral(":/pullmark/guide/user-guide.html")));
}

QString bodyOf(const QString& html)
{
    const qsizetype start = html.indexOf(QLatin1String("<body>")) + 7;
    return html.mid(start, html.indexOf(QLatin1String("</body>")) - start);
}

QStringList captures(const QString& text, const char* pattern)
{
    QStringList found;
    for (const QRegularExpressionMatch& m : QRegularExpression(QLatin1String(pattern)).globalMatch(text))
        found << m.captured(1);
    return found;
}

// A control's text as the user reads it: no mnemonic marks, no colon after.
QString shownText(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
    text.replace(QChar(1), QLatin1Char('&'));
    text = text.simplified();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

// The controls of `window` of type T, leaving out those of the windows it
// holds (`others`).
template <typename T>
QList<const T*> ownChildren(const QWidget* window, const QList<const QWidget*>& others)
{
    QList<const T*> own;
    for (const T* child : window->findChildren<T*>()) {
        const bool elsewhere = std::any_of(others.begin(), others.end(), [child](const QWidget* other) {
            return other == child || other->isAncestorOf(child);
        });
        if (!elsewhere)
            own << child;
    }
    return own;
}

// The fixed texts `window` shows: pages, buttons, captions, frames, the
// items of fixed choices, column headings and menu commands.
QStringList captionsOf(const QWidget* window, const QList<const QWidget*>& others, bool everyLabel)
{
    QStringList captions;
    for (const QTabWidget* tabs : ownChildren<QTabWidget>(window, others)) {
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
    }
    for (const QAbstractButton* button : ownChildren<QAbstractButton>(window, others))
        captions << button->text();
    for (const QLabel* label : ownChildren<QLabel>(window, others)) {
        if (everyLabel || label->buddy())
            captions << label->text();
    }
    for (const QGroupBox* box : ownChildren<QGroupBox>(window, others))
        captions << box->title();
    // The address box and the drive lists hold the user's data.
    for (const QComboBox* choice : ownChildren<QComboBox>(window, others)) {
        for (int i = 0; !choice->isEditable() && !qobject_cast<const DriveList*>(choice) && i < choice->count(); ++i)
            captions << choice->itemText(i);
    }
    for (const QHeaderView* header : ownChildren<QHeaderView>(window, others)) {
        for (int i = 0; header->model() && i < header->count(); ++i)
            captions << header->model()->headerData(i, header->orientation()).toString();
    }
    for (const QMenu* menu : ownChildren<QMenu>(window, others)) {
        captions << menu->title();
        for (const QAction* action : menu->actions())
            captions << action->text();
    }
    return captions;
}

// Runs a script in the page and gives its result (an invalid one after ten
// seconds without an answer).
QVariant evaluate(QWebEnginePage* page, const QString& script)
{
    auto answer = std::make_shared<std::optional<QVariant>>();  // the page may answer after the wait gave up
    page->runJavaScript(script, [answer](const QVariant& value) { *answer = value; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, 10000))
        return QVariant();
    return **answer;
}
}  // namespace

class TestGuide : public QObject {
    Q_OBJECT
private:
    TestProfile* m_web = nullptr;

private slots:
    void initTestCase() { m_web = new TestProfile; }
    void cleanupTestCase() { delete m_web; }

    void markdownToHtml_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("body");
        // Anchors as GitHub makes them: "-" and "_" kept, other marks
        // dropped, letters of any language kept.
        QTest::newRow("heading anchors, repeated ones numbered")
            << "# Über: the --config_file!\n\n## `pullmark` & you\n\n## Pullmark & you\n\n## Pullmark & you"
            << "<h1 id=\"über-the---config_file\">Über: the --config_file!</h1>\n"
               "<h2 id=\"pullmark--you\"><code>pullmark</code> &amp; you</h2>\n"
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

    // The README's user sections are the guide's, as "make readme" copies
    // them; every link of the README leads somewhere; no line of the guide
    // turns into a quote by mistake.
    void readmeFollowsTheGuide()
    {
        const QString guide = sourceFile("docs/user-guide.md");
        const QString readme = sourceFile("README.md");
        // A sentence wrapped before "> Options" would turn into a quote.
        const QStringList lines = guide.split(QLatin1Char('\n'));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const bool quoteStarts = lines[i].trimmed().startsWith(QLatin1Char('>'))
                && !lines[i - 1].trimmed().isEmpty() && !lines[i - 1].trimmed().startsWith(QLatin1Char('>'));
            QVERIFY2(!quoteStarts, qPrintable(QStringLiteral("docs/user-guide.md line %1 starts with \">\"").arg(i + 1)));
        }
        const ReadmeUpdate update = readmeWithGuideSections(readme, guide, QStringLiteral("docs/user-guide.md"));
        QVERIFY2(update.error.isEmpty(), qPrintable(update.error));
        QVERIFY2(update.text == readme, "README.md's copies of the guide's sections differ from docs/user-guide.md: "
                                        "run \"make readme\"");

        const QStringList readmeAnchors = headingAnchorsOf(readme);
        const QStringList guideAnchors = headingAnchorsOf(guide);
        bool linksTheGuide = false;
        for (const QString& target : linkTargetsOf(readme)) {
            if (target.startsWith(QLatin1Char('#'))) {
                QVERIFY2(readmeAnchors.contains(target.mid(1)), qPrintable(target));
            } else if (!target.contains(QLatin1String("://"))) {
                const QString file = target.section(QLatin1Char('#'), 0, 0);
                QVERIFY2(QFileInfo::exists(QStringLiteral(PULLMARK_SOURCE_DIR "/") + file), qPrintable(target));
                if (file == QLatin1String("docs/user-guide.md")) {
                    linksTheGuide = true;
                    const QString anchor = target.section(QLatin1Char('#'), 1);
                    QVERIFY2(anchor.isEmpty() || guideAnchors.contains(anchor), qPrintable(target));
                }
            }
        }
        QVERIFY(linksTheGuide);
    }

    // Every link of the shipped guide leads to one of its sections, and the
    // contents list every section. (Its pictures: Help shows every one.)
    void guideLinksResolve()
    {
        const QString html = shippedGuide();
        QVERIFY(html.contains(QLatin1String("<h2 ")));
        const QStringList ids = captures(html, "\\sid=\"([^\"]+)\"");
        const QStringList hrefs = captures(html, "\\shref=\"([^\"]*)\"");
        for (const QString& href : hrefs) {
            QVERIFY2(href.startsWith(QLatin1Char('#')), qPrintable(href + " leads out of the guide"));
            QVERIFY2(ids.contains(href.mid(1)), qPrintable(href + " leads to no section"));
        }
        for (const QString& section : captures(html, "<h2 id=\"([^\"]+)\""))
            QVERIFY2(section == QLatin1String("contents") || hrefs.contains(QLatin1Char('#') + section),
                     qPrintable(section + " is missing from the contents"));
    }

    // What each window shows, the guide explains: a new option, button,
    // menu command, page, column or caption without a word in the guide
    // fails here.
    void guideNamesEveryControl_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("Options dialog") << 0;
        QTest::newRow("History window") << 1;
        QTest::newRow("Work Queue window") << 2;
        QTest::newRow("main window and its menus") << 3;
    }
    void guideNamesEveryControl()
    {
        QFETCH(int, window);
        QTextDocument text;
        text.setHtml(shippedGuide());
        const QString guide = text.toPlainText().simplified();

        TestWindow t(m_web->profile());
        SqliteDownloadArchive archive(t.path("archive.sqlite"), t.app.errors);
        auto* history = t.window.findChild<HistoryDialog*>();
        history->setArchive(&archive);
        const QList<const QWidget*> windows = {t.window.optionsDialog(), history, t.window.workQueueWindow(), &t.window};
        QList<const QWidget*> others = windows;
        others.removeAt(window);
        // Every label of the Options dialog is a caption; elsewhere labels
        // without a control they name show values.
        const QStringList captions = captionsOf(windows[window], others, window == 0);
        QStringList missing;
        for (const QString& caption : captions) {
            const QString words = shownText(caption);
            if (!words.isEmpty() && !guide.contains(words) && !missing.contains(words))
                missing << words;
        }
        QVERIFY(captions.size() > 5);
        QVERIFY2(missing.isEmpty(), qPrintable("not in the user guide: \"" + missing.join("\", \"") + '"'));
        history->setArchive(nullptr);
    }

    // Help in the main window, and F1 in each window and page, open the
    // guide in the main window's browser at the section about it, from the
    // program alone.
    void helpOpensTheGuideAtTheSection_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("heading");
        QTest::newRow("Help menu") << 0 << "" << "Pullmark User Guide";
        QTest::newRow("main window") << 1 << "" << "Pullmark User Guide";
        QTest::newRow("Options, Output") << 2 << "options-output" << "Options: Output";
        QTest::newRow("Options, Logging") << 3 << "options-logging" << "Options: Logging";
        QTest::newRow("Options, Other") << 4 << "options-other" << "Options: Other";
        QTest::newRow("History, Visited pages") << 5 << "history-visited-pages" << "History: Visited pages";
        QTest::newRow("History, Downloaded files") << 6 << "history-downloaded-files" << "History: Downloaded files";
        QTest::newRow("Work Queue") << 7 << "the-work-queue-window" << "The Work Queue window";
    }
    void helpOpensTheGuideAtTheSection()
    {
        QFETCH(int, window);
        QFETCH(QString, section);
        QFETCH(QString, heading);
        TestWindow t(m_web->profile());
        SqliteDownloadArchive archive(t.path("archive.sqlite"), t.app.errors);
        const qsizetype requestsBefore = m_web->interceptor().requests().size();

        auto* options = t.window.optionsDialog();
        auto* history = t.window.findChild<HistoryDialog*>();
        auto* historyPages = history->findChild<QTabWidget*>(QStringLiteral("tbsHistory"));
        QWidget* inFront = nullptr;  // the window in front, as the user sees it, gets the key
        switch (window) {
        case 0: t.child<QAction>("mnuHelp")->trigger(); break;
        case 1: inFront = &t.window; break;
        case 2: case 3: case 4:
            options->loadFromSettings();
            options->showPage(OptionsDialog::Page(window - 2));
            inFront = options;
            break;
        case 5: case 6:
            history->setArchive(&archive);
            history->reload();
            historyPages->setCurrentIndex(0);
            inFront = history;
            break;
        case 7:
            t.window.show();
            inFront = t.window.workQueueWindow();
            break;
        }
        if (inFront) {
            inFront->show();
            inFront->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(inFront));
            if (window == 6) {  // the next page, as the guide says
                QTest::keyClick(history->findChild<QWidget*>(QStringLiteral("lstUrl")), Qt::Key_Tab, Qt::ControlModifier);
                QCOMPARE(historyPages->currentIndex(), 1);
            }
            QTest::keyClick(inFront, Qt::Key_F1);
        }

        QUrl expected(QString::fromLatin1(kUserGuideAddress));
        if (!section.isEmpty())
            expected.setFragment(section);
        BrowserView* browser = t.window.browser();
        QTRY_VERIFY_WITH_TIMEOUT(browser->url() == expected && !browser->isBusy(), 15000);
        QCOMPARE(t.child<QComboBox>("cmbURL")->currentText(), expected.toString());
        // It enters the history like a web page; from the Work Queue window
        // the main window comes forward to show it.
        QTRY_COMPARE(t.app.history.entries(), QStringList{expected.toString()});
        if (window == 7)
            QTRY_VERIFY(t.window.isActiveWindow());
        const QString script = section.isEmpty() ? QStringLiteral("document.querySelector('h1').textContent")
                                                 : QStringLiteral("(document.getElementById('%1') || {}).textContent").arg(section);
        QCOMPARE(evaluate(browser->page(), script).toString(), heading);
        // Its pictures are shown, and nothing was asked of any network.
        QVERIFY(evaluate(browser->page(),
                         "Array.from(document.images).every(i => i.complete && i.naturalWidth > 0)").toBool());
        const QStringList requests = m_web->interceptor().requests().mid(requestsBefore);
        QVERIFY(!requests.isEmpty());
        for (const QString& request : requests)
            QVERIFY2(request.startsWith(QLatin1String("qrc:/pullmark/guide/")), qPrintable(request));
        history->setArchive(nullptr);
    }

    // The start page links to the guide. (The guide enters the history as
    // Help opens it; the start page stays out by the history's own rule.)
    void startPageLinksTheGuide()
    {
        TestWindow t(m_web->profile());
        t.window.show();
        BrowserView* browser = t.window.browser();
        QSignalSpy loaded(browser, &BrowserView::loadEnded);
        browser->goHome();
        QVERIFY(loaded.wait(15000));
        browser->page()->runJavaScript(QStringLiteral("document.querySelector('a[href$=\"user-guide.html\"]').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(browser->url(), QUrl(QString::fromLatin1(kUserGuideAddress)), 15000);
    }
};

QTEST_MAIN(TestGuide)
#include "test_guide.moc"
