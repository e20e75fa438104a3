#include "platform/SharedText.h"

#include <algorithm>

namespace fw {

bool SharedText::append(QStringView piece, qsizetype maxSize)
{
    if (piece.isEmpty())
        return true;
    if (pendingCarriageReturn_ && piece.front() == u'\n')
        piece = piece.sliced(1);
    pendingCarriageReturn_ = false;
    const qsizetype before = text_.size();
    qsizetype room = std::max<qsizetype>(0, std::min<qsizetype>(maxSize, std::numeric_limits<int>::max()) - before);
    bool whole = true;
    // Stretches without "\r" go in as they are; each "\r" (with the "\n" after it) becomes one "\n".
    for (qsizetype from = 0; from < piece.size();) {
        const qsizetype cr = piece.indexOf(u'\r', from);
        const QStringView stretch = piece.sliced(from, (cr < 0 ? piece.size() : cr) - from);
        if (stretch.size() > room) {
            qsizetype keep = room;
            if (keep > 0 && stretch[keep - 1].isHighSurrogate() && stretch[keep].isLowSurrogate())
                --keep;
            text_.append(stretch.first(keep));
            whole = false;
            break;
        }
        text_.append(stretch);
        room -= stretch.size();
        if (cr < 0)
            break;
        if (room == 0) {
            whole = false;
            break;
        }
        text_.append(u'\n');
        --room;
        from = cr + 1;
        if (from < piece.size() && piece[from] == u'\n')
            ++from;
        else if (from == piece.size())
            pendingCarriageReturn_ = true;
    }
    if (text_.size() == before)
        return whole;
    const QStringView added = QStringView(text_).sliced(before);
    for (qsizetype k = added.indexOf(u'\n'); k >= 0; k = added.indexOf(u'\n', k + 1))
        lineStarts_.push_back(int(before + k + 1));
    emit grew();
    return whole;
}

} // namespace fw
