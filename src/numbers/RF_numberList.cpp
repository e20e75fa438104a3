#include "numbers/RF_numberList.h"

namespace {
fw::FileType numberListType;
bool initialized = false;
}

void RF_numberList::_Initialize()
{
    numberListType.Name = QStringLiteral("Number List");
    numberListType.Extensions = QStringLiteral("rcn");
    numberListType.MacType = QString();
    numberListType.MacCreator = QString();
    initialized = true;
}

const fw::FileType& RF_numberList::NumberList()
{
    if (!initialized)
        _Initialize();
    return numberListType;
}
