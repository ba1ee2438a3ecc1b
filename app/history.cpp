#include "app/history.h"

namespace pm {

bool entersHistory(const QString& address)
{
    return address.compare(QLatin1String("http:///"), Qt::CaseInsensitive) != 0;
}

}  // namespace pm
