#pragma once

#include "common/CC_genericTransportObject.h"

#include <QColor>
#include <QString>

// One search criterion of one search row, applied to one report as one pane shows it: the row's
// highlight style, its phrase and the hits found for it, and the hit selected in that pane.
// The report window's plain style is a criterion too. Criteria are handled by reference.
class RC_searchCriteriaClass {
public:
    RC_searchCriteriaClass();

    bool bold = false;
    bool italic = false;
    qint32 size = 0;
    // The phrase of the row's current search.
    QString currSearch;
    bool underline = false;
    // The phrase the hits in arrFoundIndexes belong to; an equal phrase reuses them.
    QString lastSearch;
    QColor textColor = QColor(0, 0, 0);
    // Hits: 0-based character offsets into the report text, ascending, non-overlapping. The list is
    // an object of its own, so the left and the right pane's criterion of a report may share it.
    IntListRef arrFoundIndexes;
    // 0-based index into arrFoundIndexes of the hit selected in the pane.
    qint32 lastSearchIdx = 0;
    QString font = QStringLiteral("courier");
};

// Highlight colour of search row k (k >= 0): red, green, blue, magenta, dark red, light blue for the
// rows 0 to 5 and near black for every later row.
QColor searchRowColor(qint32 row);

// The hit-number field's mask for a hit count: one "#" per decimal digit of the count.
QString hitNumberMask(qint64 hitCount);

// The numeric value of a text (its leading number, 0 when it has none) as a 32-bit integer:
// the fraction is dropped and values beyond the 32-bit range are held at its ends.
qint32 numericValue32(const QString& text);
