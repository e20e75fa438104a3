#include "common/M_globals.h"

namespace M_globals {

bool isDigit(const QString& text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace M_globals
