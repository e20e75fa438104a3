#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <vector>

// Orders texts by Unicode code point (the same order as their UTF-8 bytes): negative, zero or positive.
// UTF-16 unit order differs from it for characters above U+FFFF against U+E000-U+FFFF.
int compareByCodePoint(QStringView a, QStringView b);

struct CodePointLess
{
    bool operator()(const QString& a, const QString& b) const { return compareByCodePoint(a, b) < 0; }
};

// The test entries of the Number Selection window, no window needed.
//
// Two sorted, duplicate-free collections: the whole numbers (ascending int32) and the text entries
// (ascending code-point order, exact case-sensitive identity). Which collection an entry belongs to is
// decided by classifyEntry(), so "007" is the number 7 and "99999999999" is a text.
//
// Rows, as the list box shows them: every text entry first (rows 0..textCount()-1, in list order),
// then every number in plain decimal.
class SelectionList
{
public:
    // Where an entry stands (present) or would be inserted (not present).
    struct Position
    {
        int row;
        bool present;
    };

    // Single entries; true when the list changed. Each is a binary search plus one vector insert/erase.
    bool add(const QString& entry);
    bool remove(const QString& entry);
    bool addNumber(qint32 value);
    bool removeNumber(qint32 value);

    bool contains(const QString& entry) const { return locate(entry).present; }
    bool containsNumber(qint32 value) const { return locateNumber(value).present; }

    // Row of the entry when present, else the row it would take once added.
    Position locate(const QString& entry) const;
    Position locateNumber(qint32 value) const;
    Position locateText(const QString& text) const;

    // Row of a present entry, or -1. rowOfText looks among text entries only, for exactly that text.
    int rowOf(const QString& entry) const;
    int rowOfNumber(qint32 value) const;
    int rowOfText(const QString& text) const;

    int rowCount() const { return textCount() + numberCount(); }
    int textCount() const { return static_cast<int>(m_texts.size()); }
    int numberCount() const { return static_cast<int>(m_numbers.size()); }
    bool isEmpty() const { return m_texts.empty() && m_numbers.empty(); }
    // Text of a row, computed on demand; an empty text for a row out of range.
    QString rowText(int row) const;
    bool isNumberRow(int row) const { return row >= textCount() && row < rowCount(); }

    // Adds every value start..end inclusive in one linear pass and returns how many were new.
    // An empty range (end < start) adds nothing; one of more than kMaxRangeValues values is refused
    // (returns -1, nothing changes).
    qint64 addRange(qint32 start, qint32 end);
    // How many values of start..end are not in the list yet (O(log n)); 0 for an empty range.
    qint64 missingInRange(qint32 start, qint32 end) const;

    // Many entries at once (a comma list or a file): sort, then one merge per collection.
    // Return how many entries were added / removed.
    int addEntries(const QStringList& entries);
    int removeEntries(const QStringList& entries);

    // Entries already sorted and each held once (numbers ascending, texts in code-point order), as a
    // file reader collects them. addSorted merges them in, linear in the list and the entries, and
    // takes their memory; it returns how many were new. missingOf counts those not in the list yet,
    // linear too, or a binary search each when they are few against a long list.
    qint64 addSorted(std::vector<qint32>&& numbers, std::vector<QString>&& texts);
    qint64 missingOf(const std::vector<qint32>& numbers, const std::vector<QString>& texts) const;

    // Appends the rows from row on, each as its text in UTF-8 followed by lineEnd, until out has grown
    // to at least until bytes or the rows are done; returns the next row. The bytes are those of
    // rowText(row).toUtf8(), without a string made for a number row.
    int appendRowsUtf8(int row, QByteArray& out, QByteArrayView lineEnd, qsizetype until) const;

    // Removes the given rows (any order, duplicates and rows out of range ignored) in linear time and
    // returns the rows removed, ascending, as numbered before the removal.
    std::vector<int> removeRowsAt(std::vector<int> rows);
    // The rows removeRowsAt() would remove: ascending, unique, within 0..rowCount()-1.
    std::vector<int> normalizedRows(std::vector<int> rows) const;

    void clear();

    const std::vector<qint32>& numberList() const { return m_numbers; }
    const std::vector<QString>& numStringList() const { return m_texts; }

private:
    std::vector<qint32> m_numbers;
    std::vector<QString> m_texts;
};
