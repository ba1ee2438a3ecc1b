#pragma once
// The median the benchmarks quote: the middle value (the upper one of the
// two middle values for an even count), which one disturbed round moves
// least.

#include <QList>

#include <algorithm>

namespace pm::bench {

inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values[values.size() / 2];
}

}  // namespace pm::bench
