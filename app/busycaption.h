#pragma once
#include <QString>

namespace pm {

// One tick of the busy indicator: "Working", then one more dot per tick up to
// five, then "Working" again. A caption that does not begin with "Working"
// (any case) becomes "Working".
QString nextBusyCaption(const QString& caption);

}  // namespace pm
