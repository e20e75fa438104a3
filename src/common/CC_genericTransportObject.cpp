#include "common/CC_genericTransportObject.h"

// A missing list is never handed out: a null list is replaced by a new empty one.
void CC_genericTransportObject::setStringArray(StringListRef list)
{
    strArray = list ? std::move(list) : std::make_shared<QStringList>();
}

void CC_genericTransportObject::setIntArray(IntListRef list)
{
    intArray = list ? std::move(list) : std::make_shared<IntList>();
}
