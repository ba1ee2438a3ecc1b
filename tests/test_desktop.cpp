// Pullmark as a desktop application: the real program's command line, files
// and SIGTERM, and every window worked with the keyboard and a screen reader.
#include "archive/sqlitearchive.h"
#include "gui/aboutdialog.h"
#include "gui/historydialog.h"
#include "gui/optionsdialog.h"
#include "gui/workqueuewindow.h"
#include "tests/support/programcopy.h"
#include "tests/support/testserver.h"
#include "tests/support/webtest.h"

#include <QAccessible>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// What keeps a window from being worked with the keyboard and a screen
// reader: a control without a spoken name, Tab going back up or to the left,
// a button or menu without a mnemonic, two controls with the same one.
QStringList keyboardFaults(QWidget& window)
{
    window.show();
    QStringList faults;
    auto name = [](QWidget* w) { return QString(w->metaObject()->className()) + " " + w->objectName(); };
    QList<QWidget*> chain;
    for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&window) && !w->focusProxy())
            chain << w;
        if (chain.contains(w) && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
            faults << "no name: " + name(w);
    }
    // Two controls compare as the parts of their closest common ancestor
    // they lie in, so a group is read as a whole.
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget *a = chain[i - 1], *b = chain[i];
        while (!a->parentWidget()->isAncestorOf(b))
            a = a->parentWidget();
        while (b->parentWidget() != a->parentWidget())
            b = b->parentWidget();
        const QRect ra = a->geometry(), rb = b->geometry();
        const bool sameRow = rb.top() < ra.bottom() && ra.top() < rb.bottom();
        if (chain[i - 1]->isEnabled() && chain[i]->isEnabled() && (sameRow ? rb.left() < ra.left() : rb.top() < ra.top()))
            faults << "Tab goes back: " + name(chain[i - 1]) + " -> " + name(chain[i]);
    }
    QList<std::tuple<QString, QWidget*, bool>> marked;  // text, control, whether it needs a mnemonic
    for (QWidget* w : window.findChildren<QWidget*>()) {
        auto* box = qobject_cast<QDialogButtonBox*>(w->parentWidget());
        auto* button = qobject_cast<QAbstractButton*>(w);
        const bool enterOrEsc = (box && box->buttonRole(button) != QDialogButtonBox::ApplyRole)
                                || (qobject_cast<QPushButton*>(w) && static_cast<QPushButton*>(w)->isDefault());
        if (button && w->isVisibleTo(&window))
            marked.append({button->text(), w, !enterOrEsc});
        else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy() && w->isVisibleTo(&window))
            marked.append({label->text(), w, false});
    }
    if (auto* main = qobject_cast<QMainWindow*>(&window))
        for (QAction* menu : main->menuBar()->actions())
            marked.append({menu->text(), main->menuBar(), true});
    QMap<QChar, QString> keys;
    for (const auto& [text, w, needed] : marked) {
        const qsizetype at = text.indexOf(QRegularExpression("&[^&]"));
        if (at < 0) {
            if (needed)
                faults << "no mnemonic: " + name(w);
            continue;
        }
        const QChar key = text.at(at + 1).toLower();
        if (keys.contains(key))
            faults << QString("Alt+%1 twice: %2, %3").arg(key).arg(keys[key], name(w));
        keys[key] = name(w);
    }
    return faults;
}
}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private:
    TestServer m_server;
    QByteArray m_firstPage;  // a page that links a file of the server

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        m_firstPage = "<html><body><a href='" + m_server.url("/file/first.jpg?size=10").toUtf8() + "'>f</a></body></html>";
        m_server.addPage("/first.html", m_firstPage);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");  // a part of what it prints
        QTest::newRow("help") << QStringList{"--help"} << 0 << "-c, --config <FILE>";
        QTest::newRow("version") << QStringList{"-v"} << 0 << "Pullmark 1.0.0\n";
        QTest::newRow("unknown option") << QStringList{"--verbose"} << 2 << "Unknown option 'verbose'";
        QTest::newRow("two addresses") << QStringList{"http://127.0.0.1/a", "b.html"} << 2 << "Only one address";
        QTest::newRow("--config names a folder") << QStringList{"--config", "."} << 2 << ". is a folder";
        QTest::newRow("two ways of running") << QStringList{"--download", "--add", "http://127.0.0.1/a.jpg"} << 2
                                             << "--download, --add cannot be used together";
        QTest::newRow("--harvest without a page") << QStringList{"--harvest"} << 2 << "--harvest needs the addresses";
        QTest::newRow("--parallel 0") << QStringList{"--download", "--parallel", "0"} << 2 << "from 1 to 8, not \"0\"";
        QTest::newRow("--yes with the window") << QStringList{"--yes"} << 2 << "--yes goes with";
    }
    // Help, the version and every mistake need no display, and write nothing.
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        ProgramCopy p;
        const ProgramCopy::Result run = p.runToEnd(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2((run.out + run.err).contains(output), qPrintable(run.out + run.err));
        QCOMPARE(p.files(), QStringList{"bin/pullmark"});
    }

    void whereFilesGo_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("arguments");  // "@" the root folder, "$" the test server
        QTest::addColumn<QString>("configuration");
        QTest::addColumn<QString>("firstPage");
        const QString user = "home/config/Pullmark/Pullmark.ini", portable = "bin/Pullmark.ini";
        QTest::newRow("portable") << "" << QStringList{} << portable << "";
        QTest::newRow("portable, the legal notice declined: nothing saved") << "declined" << QStringList{} << portable << "";
        QTest::newRow("portable, a file-size limit: the save fails") << "limit" << QStringList{} << portable << "";
        QTest::newRow("read-only program folder, a web address") << "read-only" << QStringList{"$/first.html"} << user
                                                                 << "$/first.html";
        QTest::newRow("installed under a prefix") << "installed" << QStringList{} << user << "";
        QTest::newRow("--config and a local file") << "" << QStringList{"--config", "@/other.ini", "first.html"}
                                                   << "other.ini" << "file://@/first.html";
    }
    // The real program, ended by SIGTERM, saves where it should and nowhere
    // else: installed or in a read-only folder, its configuration, output
    // folder, log and browser profile are in the user's folders; portable,
    // beside it. During the legal notice it saves nothing, and a failed save
    // is no crash.
    void whereFilesGo()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, arguments);
        QFETCH(QString, configuration);
        QFETCH(QString, firstPage);
        ProgramCopy p;
        arguments.replaceInStrings("@", p.root.path()).replaceInStrings("$", m_server.baseUrl());
        firstPage.replace("@", p.root.path()).replace("$", m_server.baseUrl());
        writeFile(p.path("first.html"), m_firstPage);  // the page, as a local file too
        const QString ini = p.path(configuration);
        QVERIFY(QDir().mkpath(QFileInfo(ini).path()) && QDir().mkpath(p.path("share/applications")));
        const QByteArray content = "\"bG_Disclaimer\",#TRUE#\r\n\"strG_StartURL\",\"none\"\r\n";
        if (layout != "declined")
            writeFile(ini, content);
        if (layout == "installed")
            writeFile(p.path("share/applications/pullmark.desktop"), "[Desktop Entry]\n");
        const QStringList before = p.files();
        std::optional<ReadOnlyFolder> readOnly;
        if (layout == "read-only" && !readOnly.emplace(p.path("bin")).taken)
            QSKIP("cannot take the write permission of a folder away here");
        // SIGTERM once the window has started, the first page is read and its
        // entries are probed; during the legal notice, once it is watched for.
        const int probes = m_server.headCount("/file/first.jpg");
        const auto ready = [&] {
            if (layout == "declined")
                return !p.channelSocket(true).isEmpty();
            return !p.channelSocket().isEmpty() && (firstPage.isEmpty() || m_server.headCount("/file/first.jpg") > probes);
        };
        QCOMPARE(p.runWindowUntil(arguments, p.root.path(), ready, layout == "limit" ? 256 : 0), 0);
        if (layout == "declined") {
            QCOMPARE(p.files(), before);
            return;
        }
        if (layout == "limit") {
            QCOMPARE(readAll(ini), content);
            return;
        }

        const bool perUser = configuration.startsWith("home/");
        const QString output = perUser ? "home/Downloads/Pullmark" : "bin";
        const QString log = perUser ? "home/data/Pullmark/pulmark.log" : "bin/pulmark.log";
        const QStringList saved = crlfLines(readAll(ini));
        QCOMPARE(saved.value(0), "\"strG_SavePath\",\"" + p.path(output) + "\"");
        QCOMPARE(saved.value(1), "\"strG_LogFileName\",\"" + p.path(log) + "\"");
        QCOMPARE(saved.value(15), firstPage.isEmpty() ? QString() : "\"URL0\",\"" + firstPage + "\"");
        QVERIFY(QFileInfo(p.path(output)).isDir());
        // The browser's profile: beside the configuration when portable.
        const QString profile = perUser ? "home/data/Pullmark/QtWebEngine/Pullmark"
                                        : QDir::cleanPath(QFileInfo(configuration).path() + "/Pullmark-browser");
        QVERIFY2(QFileInfo(p.path(profile + "/user_prefs.json")).isFile(), qPrintable(p.files().join(' ')));
        QStringList added = p.files();  // besides the configuration and the profile, only the CSV log's header
        for (const QString& file : before)
            added.removeOne(file);
        added.removeIf([&](const QString& file) { return file.startsWith(profile + '/'); });
        QCOMPARE(added, QStringList{QString(log).replace(".log", ".csv")});
    }

    void keyboardAndScreenReader()
    {
        TestProfile web;
        TestWindow t(web.profile());
        QStringList faults = keyboardFaults(t.window) + keyboardFaults(*t.window.workQueueWindow());
        OptionsDialog& options = *t.window.optionsDialog();
        options.loadFromSettings();
        for (auto page : {OptionsDialog::Output, OptionsDialog::Logging, OptionsDialog::Other}) {
            options.showPage(page);
            faults << keyboardFaults(options);
        }
        HistoryDialog history(t.app.history);
        AboutDialog about("/opt/pullmark", "/home/u/Pullmark.ini", t.ui);
        faults << keyboardFaults(history) << keyboardFaults(about);
        SqliteDownloadArchive archive(t.path("archive.sqlite"), t.app.errors);
        history.setArchive(&archive);
        history.findChild<QTabWidget*>("tbsHistory")->setCurrentIndex(1);
        faults << keyboardFaults(history);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
