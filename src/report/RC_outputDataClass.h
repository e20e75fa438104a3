#pragma once

#include "search/RC_searchCriteriaClass.h"

#include <QString>

#include <memory>
#include <vector>

// One report as one pane holds it; owned by its row of that pane's report popup (the row tag).
class RC_outputDataClass {
public:
    // One criterion per search row, element k for row k.
    std::vector<std::shared_ptr<RC_searchCriteriaClass>> searchCrit;
    // Number of lines of the report text: line ends plus one.
    qint32 totalLineCount = 0;
    // The report text as the record was built from it (shares the caller's text, no copy is made).
    QString displayableText;

    // Lines of a text: the number of pieces it gives when cut at every "\n", so the empty text has
    // one line and a text ending in "\n" has an empty last line. One pass, nothing is split off.
    static qint32 countLines(const QString& text) { return qint32(text.count(QLatin1Char('\n')) + 1); }
};
