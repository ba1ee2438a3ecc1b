// The user guide: the README's copies of the guide's sections; the guide as
// shipped (its links, its pictures, every option of the Options dialog in its
// text); and Help and F1 opening it at the right section without a network.
#include "archive/sqlitearchive.h"
#include "core/programpages.h"
#include "gui/browserview.h"
#include "gui/folderchooser.h"
#include "gui/historydialog.h"
#include "gui/optionsdialog.h"
#include "gui/workqueuewindow.h"
#include "tests/support/webtest.h"
#include "tools/guidesections.h"

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

    // The README's user sections are the guide's, as "make readme" copies
    // them; every link of the README leads somewhere.
    void readmeFollowsTheGuide()
    {
        const QString guide = sourceFile("docs/user-guide.md");
        const QString readme = sourceFile("README.md");
        const ReadmeUpdate update = readmeWithGuideSections(readme, guide, QStringLiteral("docs/user-guide.md"));
        QVERIFY2(update.error.isEmpty(), qPrintable(update.error));
        QVERIFY2(update.text == readme, "README.md's copies of the guide's sections differ from docs/user-guide.md: "
                                        "run \"make readme\"");

        const QStringList readmeAnchors = headingAnchorsOf(readme), guideAnchors = headingAnchorsOf(guide);
        for (const QString& target : linkTargetsOf(readme)) {
            const QString file = target.section(QLatin1Char('#'), 0, 0), anchor = target.section(QLatin1Char('#'), 1);
            const bool inGuide = file == QLatin1String("docs/user-guide.md");
            const bool leads = target.contains(QLatin1String("://"))
                || (file.isEmpty() ? readmeAnchors.contains(anchor)
                                   : QFileInfo::exists(QStringLiteral(PULLMARK_SOURCE_DIR "/") + file)
                                         && (anchor.isEmpty() || !inGuide || guideAnchors.contains(anchor)));
            QVERIFY2(leads, qPrintable(target + " leads nowhere"));
        }
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
};

QTEST_MAIN(TestGuide)
#include "test_guide.moc"
