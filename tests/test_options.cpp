// The Options dialog: modes, Apply and OK, interlocks, the folder controls.
#include "gui/folderchooser.h"
#include "gui/optionsdialog.h"
#include "gui/downloadoptions.h"
#include "tests/support/testcontext.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace pm;
using namespace pm::test;

namespace {
// Settings whose folders exist, so Apply's path check passes silently.
struct OptionsTest : TestContext {
    OptionsTest()
    {
        settings.outputFolder = dir.path();
        settings.activityLogFile = path("run.log");
        settings.extensions = QStringLiteral("jpg gif");
        settings.scanLinks = true;
        dialog.loadFromSettings();
    }
    template <typename T = QWidget>
    T* child(const char* name) const
    {
        return dialog.findChild<T*>(QLatin1String(name));
    }
    QString checked(const QStringList& names) const
    {
        for (const QString& name : names)
            if (dialog.findChild<QRadioButton*>(name)->isChecked())
                return name;
        return QString();
    }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    OptionsDialog dialog{app};
};
}  // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    // The dialog shows the rule the downloads apply (an empty one is
    // Overwrite); an error mode it does not know selects none and is kept;
    // without a history there is no last page.
    void modes()
    {
        // error mode, duplicate rule, start page, history on; the options shown; the texts Apply writes
        const QList<std::tuple<QString, QString, QString, bool, QString, QString>> cases = {
            {"", "", "home", true, ",optOverWrite,optHome", ",Overwrite,Home"},
            {"resume", "skip", "LAST", true, ",optOverWrite,optLast", "resume,Overwrite,Last"},
            {"Abort", "Skip", "Last", false, "OptAbort,optSkip,optHome", "Abort,Skip,Home"}};
        for (const auto& [errorMode, rule, start, history, shown, applied] : cases) {
            OptionsTest t;
            t.settings.errorModeText = errorMode;
            t.settings.duplicateRuleText = rule;
            t.settings.startPageText = start;
            t.settings.historyEnabled = history;
            t.dialog.loadFromSettings();
            QCOMPARE(QStringList({t.checked({"OptAbort", "OptResume", "OptPrompt"}),
                                  t.checked({"optOverWrite", "optRename", "optSkip"}), t.checked({"optLast", "optHome"})})
                         .join(','),
                     shown);
            QCOMPARE(t.child("optLast")->isEnabled(), history);
            QVERIFY(t.dialog.apply());
            QCOMPARE(QStringList({t.settings.errorModeText, t.settings.duplicateRuleText, t.settings.startPageText}).join(','),
                     applied);
            QVERIFY(t.ui.asked.isEmpty());
        }
    }

    // Every field of every page: what Load shows, Apply writes back. Two
    // rows, so that each field is met both ways.
    void everyPageRoundTrips_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void everyPageRoundTrips()
    {
        QFETCH(bool, on);
        OptionsTest t;
        QVERIFY(QDir().mkdir(t.path("logs")));
        Settings& s = t.settings;
        s.activityLogFile = t.path("logs/run.log");
        s.extensions = on ? "jpg gif" : "mpg";
        s.logDownloads = s.scanImages = s.askBeforeCreatingFolders = s.skipSmallFiles = s.skipArchived = on;
        s.classicScan = s.imagesAsShown = s.followOtherSites = on;
        s.linkedPagesLimit = on ? 1000 : 1;
        s.logCsv = s.scanLinks = s.historyEnabled = s.probeFoundFiles = !on;
        s.minimumSizeKB = on ? 12.5f : 0;
        s.parallelDownloads = on ? 3 : 8;
        s.retries = on ? 0 : 10;
        s.sameContent = on ? 1 : 0;
        s.setErrorMode(on ? ErrorMode::Prompt : ErrorMode::Abort);
        s.setDuplicateRule(on ? DuplicateRule::Rename : DuplicateRule::Skip);
        s.setStartPage(on ? StartPage::Home : StartPage::LastVisited);
        t.dialog.loadFromSettings();
        QCOMPARE(t.child<QLineEdit>("txtLogPath")->text(), t.path("logs"));
        QCOMPARE(t.child<QLineEdit>("txtLogFileName")->text(), QStringLiteral("run.log"));
        QCOMPARE(t.child<FolderList>("DirLog")->path(), t.path("logs"));
        QCOMPARE(t.child("txtFileSize")->isEnabled(), on);
        QCOMPARE(t.child("chkImagesAsShown")->isEnabled(), !on);  // the classic rules have no versions to choose

        const Settings before = s;
        s = Settings();
        // What the dialog does not show, and the log file the path check reads before Apply writes.
        for (QString Settings::*field : {&Settings::activityLogFile, &Settings::programFolder, &Settings::configurationFile,
                                         &Settings::defaultOutputFolder, &Settings::defaultLogFile, &Settings::archiveFile})
            s.*field = before.*field;
        s.legalNoticeAccepted = before.legalNoticeAccepted;
        QVERIFY(t.dialog.apply());
        QVERIFY(s == before);
        QVERIFY(t.ui.asked.isEmpty());
    }

    // A size that is no number is reported; the steps after it still apply
    // after a report that carries on.
    void sizeThatIsNoNumber()
    {
        OptionsTest t;
        t.settings.minimumSizeKB = 12.5f;
        for (const char* bad : {"abc", "", "1e40"}) {
            t.child<QLineEdit>("txtFileSize")->setText(bad);
            t.child<QRadioButton>("optRename")->setChecked(true);
            QVERIFY(t.dialog.apply());
            QCOMPARE(t.settings.minimumSizeKB, 12.5f);
            QCOMPARE(t.settings.duplicateRule(), DuplicateRule::Rename);
            QVERIFY(t.errorLines().last().endsWith(" in cmdApplyClick."));
        }
        QCOMPARE(t.errorLines().size(), 3);
        QCOMPARE(minimumSizeText(1000000.0f), QStringLiteral("1000000"));  // no grouping: it converts back
    }

    // No log file: the default name. A name without a folder names no
    // drive either: both steps report, into the log in the working folder.
    void logFileNameForms()
    {
        // the log file, the name shown, reports
        const QList<std::tuple<QString, QString, int>> cases = {{"", "Pullmark.log", 0}, {"run.log", "run.log", 2}};
        for (const auto& [logName, shownFile, reports] : cases) {
            OptionsTest t;
            const QString workingFolder = QDir::currentPath();
            QVERIFY(QDir::setCurrent(t.dir.path()));
            t.settings.activityLogFile = logName;
            t.dialog.loadFromSettings();
            QVERIFY(QDir::setCurrent(workingFolder));
            QCOMPARE(t.child<QLineEdit>("txtLogPath")->text(), QString());
            QCOMPARE(t.child<QLineEdit>("txtLogFileName")->text(), shownFile);
            const QStringList lines = crlfLines(readAll(t.path("run.log")));
            QCOMPARE(lines.size(), reports);
            QCOMPARE(lines.filter(QRegularExpression(" in frmoptions\\.FormLoad\\.$")).size(), reports);
        }
    }

    void controlsThatDriveOthers()
    {
        OptionsTest t;
        // At least one kind of item is scanned.
        t.click("chkScrapeLink");
        QVERIFY(t.child<QCheckBox>("chkScrapeEmbed")->isChecked());
        t.click("chkScrapeEmbed");
        QVERIFY(t.child<QCheckBox>("chkScrapeLink")->isChecked());
        // Without a history there is no last page to start from.
        t.child<QRadioButton>("optLast")->setChecked(true);
        t.click("chkHistory");
        QVERIFY(t.child<QRadioButton>("optHome")->isChecked());
        QVERIFY(!t.child("optLast")->isEnabled());
        t.click("chkHistory");
        QVERIFY(t.child("optLast")->isEnabled());
        // Ctrl+Tab goes round the pages from any control (the dialog's own shortcut).
        t.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&t.dialog));
        for (int expected : {1, 2, 0}) {
            QTest::keyClick(t.child<QLineEdit>("txtPath"), Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(int(t.dialog.currentPage()), expected);
        }
    }

    void folderButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("answer");  // "@" the temporary folder; "" cancels
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<QString>("routine");  // the reports' routine; "" none
        QTest::newRow("output: new folder") << "cmdNewFolder" << "@/made" << false << "@/made" << "";
        QTest::newRow("output: existing folder reported, then selected")
            << "cmdNewFolder" << "@/made" << true << "@/made" << "cmdNewFolderClick.";
        QTest::newRow("log: cancelled") << "cmdNewLogPath" << "" << false << "" << "cmdnewlogpathclick.";
        QTest::newRow("log: browse") << "cmdBrowseLog" << "@/sub" << true << "@/sub" << "";
    }
    // New Folder asks for a path; Browse... opens the system's folder dialog
    // at the nearest existing folder of the box.
    void folderButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, answer);
        QFETCH(bool, exists);
        QFETCH(QString, boxAfter);
        QFETCH(QString, routine);
        OptionsTest t;
        answer.replace('@', t.dir.path());
        boxAfter.replace('@', t.dir.path());
        if (exists)
            QVERIFY(QDir().mkdir(answer));
        const bool browse = button.startsWith("cmdBrowse");
        (browse ? t.ui.fileAnswers : t.ui.promptAnswers) << (answer.isEmpty() ? std::nullopt : std::optional<QString>(answer));
        const bool log = button.contains("Log");
        auto* box = t.child<QLineEdit>(log ? "txtLogPath" : "txtPath");
        auto* list = t.child<FolderList>(log ? "DirLog" : "DirPath");
        const QString listBefore = list->path();
        if (browse)
            box->setText(t.path("missing/deeper"));
        t.child<QPushButton>(qPrintable(button))->click();
        QCOMPARE(t.ui.asked.first().kind, browse ? QStringLiteral("folder") : QStringLiteral("prompt"));
        QCOMPARE(t.ui.asked.first().text, browse ? t.dir.path() : QStringLiteral("Please type complete path name"));
        QCOMPARE(box->text(), boxAfter);
        QCOMPARE(list->path(), answer.isEmpty() ? listBefore : boxAfter);
        QCOMPARE(t.errorLines().size(), routine.isEmpty() ? 0 : 1);
        QVERIFY(routine.isEmpty() || t.errorLines().value(0).endsWith(" in " + routine));
    }

    // The folder list feeds the path box; leaving the box, and OK, run the
    // path check.
    void folderListPathBoxAndOk()
    {
        OptionsTest t;
        const QString sub = t.path("sub");
        QVERIFY(QDir().mkdir(sub));
        auto* box = t.child<QLineEdit>("txtPath");
        auto* list = t.child<FolderList>("DirPath");
        QVERIFY(list->setPath(sub));
        QCOMPARE(box->text(), sub);
        emit list->itemClicked(list->findItems("..", Qt::MatchExactly).value(0));
        QCOMPARE(box->text(), t.dir.path());

        t.settings.askBeforeCreatingFolders = true;
        t.dialog.loadFromSettings();
        t.ui.yesNoAnswers << true;
        t.dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&t.dialog));
        box->setFocus(Qt::OtherFocusReason);
        const QString missing = t.path("new");
        box->setText(missing);
        t.child("cmdNewFolder")->setFocus(Qt::TabFocusReason);
        QCOMPARE(t.ui.asked.first().title, QStringLiteral("Invalid Output path"));
        QVERIFY(QFileInfo(missing).isDir());
        QCOMPARE(list->path(), missing);
        QCOMPARE(t.settings.outputFolder, t.dir.path());  // nothing applied

        // OK with a log folder the user declines to create: nothing applied,
        // the Logging page in front, the dialog still open. A Yes then applies.
        t.ui.yesNoAnswers << false << true;
        const QString logs = t.path("newlogs");
        t.child<QLineEdit>("txtLogPath")->setText(logs);
        t.child<QLineEdit>("txtExt")->setText("zip");
        t.dialog.showPage(OptionsDialog::Other);
        t.click("cmdOK");
        QCOMPARE(t.settings.extensions, QStringLiteral("jpg gif"));
        QCOMPARE(t.dialog.currentPage(), OptionsDialog::Logging);
        QVERIFY(t.dialog.isVisible());
        QCOMPARE(t.ui.asked.last().title, QStringLiteral("Invalid Log File path"));
        t.click("cmdOK");
        QVERIFY(QFileInfo(logs).isDir());
        QCOMPARE(t.settings.activityLogFile, logs + "/run.log");
        QVERIFY(!t.dialog.isVisible());
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
