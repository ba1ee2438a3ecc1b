#include "core/download/queuerules.h"

#include "core/textutil.h"

#include <cmath>

namespace pm {

namespace {
bool isNumber(const QString& text)
{
    return parseNumber(text).has_value();
}
}  // namespace

QueueButtons queueButtonStates(int n, bool inProgress, int selected, const QString& posText)
{
    QueueButtons b;
    b.start = n > 0 && !inProgress;
    b.clear = n > 1 || (n == 1 && !inProgress);
    b.removeSel = selected > 0;
    b.move = isNumber(posText) && selected == 1;
    return b;
}

MoveTarget moveTarget(const QString& posText, int count)
{
    MoveTarget target{posText, 0};
    if (parseNumber(target.posText).value_or(0) < 1)
        target.posText = QStringLiteral("1");
    if (parseNumber(target.posText).value_or(0) > count)
        target.posText = QString::number(count);
    // Rounds halves to even, as the platform's default rounding does.
    target.row = int(std::nearbyint(parseNumber(target.posText).value_or(1) - 1));
    return target;
}

}  // namespace pm
