// Loading and saving a configuration with 100,000 queue entries and 1,000
// history entries, against a plain line-by-line read and write of the same
// file measured in the same run.
#include "settings/configfile.h"
#include "settings/settings.h"

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

    settings() = Settings{};
    settings().strG_AppPath = dir.path();
    settings().strG_LogFileName = dir.filePath(QStringLiteral("bench.log"));
    QStringList history;
    for (int i = 0; i < 1000; ++i)
        history << QStringLiteral("http://site%1.example.test/gallery/page?id=%1&sort=new").arg(i);
    for (int i = 0; i < 100000; ++i)
        settings().colG_Queue << QStringLiteral("http://media.example.test/videos/%1/clip-%1.wmv").arg(i);
    SaveINI(ini, history);
    const QStringList lines = QString::fromUtf8([&] {
        QFile f(ini);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);

    const Settings full = settings();
    const double load = medianMs([&] {
        settings() = Settings{};
        settings().strG_AppPath = full.strG_AppPath;
        QStringList loaded;
        LoadINI(ini, loaded);
        if (settings().colG_Queue.size() != 100000 || loaded.size() != 1000)
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

    settings() = full;
    const double save = medianMs([&] { SaveINI(ini, history); });
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
    out << QStringLiteral("LoadINI            %1 ms\n").arg(load, 0, 'f', 1);
    out << QStringLiteral("plain line read    %1 ms\n").arg(readPlain, 0, 'f', 1);
    out << QStringLiteral("load ratio         %1 (target <= 3)\n").arg(load / readPlain, 0, 'f', 2);
    out << QStringLiteral("SaveINI            %1 ms\n").arg(save, 0, 'f', 1);
    out << QStringLiteral("plain line write   %1 ms\n").arg(writePlain, 0, 'f', 1);
    out << QStringLiteral("save ratio         %1 (target <= 3)\n").arg(save / writePlain, 0, 'f', 2);
    return 0;
}
