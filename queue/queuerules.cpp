#include "queue/queuerules.h"

#include <QLocale>

#include <cmath>

namespace pm {

namespace {
double numberOf(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    double value = QLocale().toDouble(t, ok);
    if (!*ok)
        value = QLocale::c().toDouble(t, ok);
    return value;
}
}  // namespace

bool isNumericText(const QString& text)
{
    bool ok = false;
    numberOf(text, &ok);
    return ok;
}

QueueButtons queueCountState(int n, bool p, int s, const QString& posText, QueueButtons b)
{
    if (n > 0 && !p) {
        b.start = true;
        b.clear = true;
    }
    if (n > 0 && p) {
        b.start = false;
        b.clear = true;
    }
    if (n == 1 && p)
        b.clear = false;
    if (n == 0) {
        b.start = false;
        b.clear = false;
        b.removeSel = false;
    }
    b.removeSel = s > 0;
    b.move = isNumericText(posText) && s == 1;
    return b;
}

MoveTarget moveTarget(const QString& posText, int count)
{
    MoveTarget target{posText, 0};
    bool ok = false;
    if (numberOf(target.posText, &ok) < 1)
        target.posText = QStringLiteral("1");
    if (numberOf(target.posText, &ok) > count)
        target.posText = QString::number(count);
    const double index = numberOf(target.posText, &ok) - 1;
    target.index = int(std::nearbyint(index));  // the default mode rounds halves to even
    return target;
}

QList<int> indexesToRemove(const QList<bool>& selected, int first)
{
    QList<int> result;
    for (int i = first; i < selected.size(); ++i) {
        if (selected[i])
            result.append(i);
    }
    return result;
}

QString nextStatusText(const QString& current, bool stopping)
{
    const QString word = stopping ? QStringLiteral("Stopping") : QStringLiteral("Working");
    if (!current.startsWith(word, Qt::CaseInsensitive))
        return word;
    if (current.endsWith(QStringLiteral("..........")))
        return word;
    return current + QLatin1Char('.');
}

}  // namespace pm
