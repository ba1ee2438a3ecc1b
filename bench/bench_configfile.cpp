// Loading and saving a configuration with 100,000 queue entries and 1,000
// history entries, against a plain line-by-line read and write of the same
// file measured in the same run.
#include "core/config/configfile.h"
#include "core/config/settings.h"
#include "tests/support/testcontext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

using namespace pm;

namespace {
constexpr int kRuns = 9;

double medianMs(const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("bench.ini"));
    const QString plain = dir.filePath(QStringLiteral("plain.ini"));

    pm::test::TestContext context;
    ConfigurationLists lists;
    for (int i = 0; i < 1000; ++i)
        lists.history << QStringLiteral("http://site%1.example.test/gallery/page?id=%1&sort=new").arg(i);
    for (int i = 0; i < 100000; ++i)
        lists.queue << QStringLiteral("http://media.example.test/videos/%1/clip-%1.wmv").arg(i);
    saveConfiguration(ini, context.settings, lists, context.app.errors);
    const QStringList lines = QString::fromUtf8([&] {
        QFile f(ini);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);

    const double load = medianMs([&] {
        Settings loaded;
        loaded.programFolder = dir.path();
        ConfigurationLists read;
        loadConfiguration(ini, loaded, read, context.app.errors, context.app.log);
        if (read.queue.size() != 100000 || read.history.size() != 1000)
            qFatal("load lost entries");
    });
    const double readPlain = medianMs([&] {
        QFile file(ini);
        file.open(QIODevice::ReadOnly);
        QStringList read;
        while (!file.atEnd())
            read << QString::fromUtf8(file.readLine());
        if (read.size() != lines.size())
            qFatal("plain read lost lines");
    });

    const double save = medianMs([&] { saveConfiguration(ini, context.settings, lists, context.app.errors); });
    const double writePlain = medianMs([&] {
        QFile file(plain);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (const QString& line : lines)
            file.write((line + QStringLiteral("\r\n")).toUtf8());
        file.close();
    });

    QTextStream out(stdout);
    out << "configuration file: 100,000 queue + 1,000 history lines, " << QFile(ini).size() << " bytes, median of "
        << kRuns << " runs\n";
    out << QStringLiteral("load               %1 ms\n").arg(load, 0, 'f', 1);
    out << QStringLiteral("plain line read    %1 ms\n").arg(readPlain, 0, 'f', 1);
    out << QStringLiteral("load ratio         %1 (target <= 3)\n").arg(load / readPlain, 0, 'f', 2);
    out << QStringLiteral("save               %1 ms\n").arg(save, 0, 'f', 1);
    out << QStringLiteral("plain line write   %1 ms\n").arg(writePlain, 0, 'f', 1);
    out << QStringLiteral("save ratio         %1 (target <= 3)\n").arg(save / writePlain, 0, 'f', 2);
    return 0;
}
