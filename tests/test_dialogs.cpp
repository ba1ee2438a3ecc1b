// The History and About windows.
#include "core/addresshistory.h"
#include "gui/aboutdialog.h"
#include "gui/historydialog.h"
#include "tests/support/scriptedinteraction.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace pm;
using namespace pm::test;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void historyDeletesFromTheHistory()
    {
        AddressHistory history;
        history.setEntries({"http://a/", "http://B/", "http://c/", "http://d/"});
        HistoryDialog dialog(history);
        auto* list = dialog.findChild<QListWidget*>("lstUrl");
        auto* deleteSelected = dialog.findChild<QPushButton*>("cmdDelSel");
        QCOMPARE(list->count(), 4);
        QVERIFY(!deleteSelected->isEnabled());
        list->item(1)->setSelected(true);
        list->item(3)->setSelected(true);
        QVERIFY(deleteSelected->isEnabled());
        deleteSelected->click();
        QCOMPARE(history.entries(), (QStringList{"http://a/", "http://c/"}));
        dialog.findChild<QPushButton*>("cmdDelAll")->click();
        QCOMPARE(history.count(), 0);
        QCOMPARE(list->count(), 0);
    }

    void aboutShowsTheFoldersAndStartsSystemInformation()
    {
        QCOMPARE(executingFromText("/opt/p"), QStringLiteral("Executing from \r\n/opt/p"));
        const QString longFolder = "/" + QString(119, 'x');
        QCOMPARE(executingFromText(longFolder).split("\r\n").mid(1),
                 (QStringList{longFolder.left(45), longFolder.mid(45, 45), longFolder.mid(90)}));

        ScriptedInteraction ui;
        AboutDialog dialog("/opt/pullmark", "/home/u/.config/Pullmark/Pullmark.ini", ui);
        QVERIFY(dialog.findChild<QLabel*>("lblPath")->text().endsWith("/opt/pullmark"));
        QVERIFY(dialog.findChild<QLabel*>("lblConfig")->text().endsWith("/home/u/.config/Pullmark/Pullmark.ini"));
        QString started;
        dialog.setSystemInfoLauncher({[] { return QStringLiteral("/usr/bin/sysinfo"); },
                                      [&](const QString& program) { started = program; return true; }});
        dialog.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(started, QStringLiteral("/usr/bin/sysinfo"));
        QVERIFY(ui.asked.isEmpty());
        dialog.setSystemInfoLauncher({[] { return QString(); }, {}});
        dialog.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(ui.asked.value(0).text, QStringLiteral("System Information Is Unavailable At This Time"));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
