#include "powerstate.h"

#include <QString>

namespace vesh::powerstate {

bool isAsleep(QByteArrayView runtimeStatus)
{
    const QString word = QString::fromUtf8(runtimeStatus).trimmed();
    return word == u"suspended" || word == u"suspending";
}

} // namespace vesh::powerstate
