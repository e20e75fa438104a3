#include "search/RC_searchCriteriaClass.h"

#include "platform/TextHelpers.h"

#include <cmath>
#include <limits>

RC_searchCriteriaClass::RC_searchCriteriaClass()
    : arrFoundIndexes(std::make_shared<IntList>())
{
}

QColor searchRowColor(qint32 row)
{
    static const QRgb colours[] = {0xFF0000, 0x00FF00, 0x2500FF, 0xCC0099, 0x990000, 0x00CCFF};
    if (row >= 0 && row < qint32(std::size(colours)))
        return QColor::fromRgb(colours[row]);
    return QColor::fromRgb(0x0F0F0F);
}

QString hitNumberMask(qint64 hitCount)
{
    return QString(fw::Str(hitCount).size(), QLatin1Char('#'));
}

qint32 numericValue32(const QString& text)
{
    const double value = std::trunc(fw::Val(text));
    if (!(value > double(std::numeric_limits<qint32>::min())))
        return std::numeric_limits<qint32>::min();
    if (!(value < double(std::numeric_limits<qint32>::max())))
        return std::numeric_limits<qint32>::max();
    return qint32(value);
}
