#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <cstring>
#include <vector>

// Distinct texts in code-point order, held as their UTF-8 bytes end to end in one block with the end
// of each: a text costs its own bytes and four more, and UTF-8 byte order is code-point order. The
// caller keeps the order; at most 4 GiB of text.
class TextEntries
{
public:
    qsizetype size() const { return qsizetype(ends_.size()); }
    bool empty() const { return ends_.empty(); }
    qint64 bytes() const { return qint64(bytes_.size()); }
    QByteArrayView at(qsizetype i) const
    {
        const quint32 from = i == 0 ? 0 : ends_[std::size_t(i) - 1];
        return QByteArrayView(bytes_.constData() + from, ends_[std::size_t(i)] - from);
    }
    QString text(qsizetype i) const { return QString::fromUtf8(at(i)); }
    // The first index whose text is not below text (binary search).
    qsizetype lowerBound(QByteArrayView text) const;

    void reserve(qsizetype count, qint64 bytes);
    void append(QByteArrayView text);
    // Appends texts [from, to) of other: one copy of their bytes.
    void appendRange(const TextEntries& other, qsizetype from, qsizetype to);
    void insert(qsizetype i, QByteArrayView text);
    void erase(qsizetype i);
    // Keeps the texts that keep(index, text) accepts, in order; one pass.
    template <typename Keep>
    void keepIf(Keep keep);
    // Empties and gives the memory back.
    void clear();
    void squeeze();

    std::vector<QString> toStrings() const;

private:
    QByteArray bytes_;
    std::vector<quint32> ends_;
};

// Hands the memory freed so far back to the system where the allocator keeps it (after a list was
// cleared or a file refused); costs a pass over the free memory, not over the list.
void releaseFreedMemory();
// Makes every block of 4 MB or more go back to the system as soon as it is freed, in every thread.
// Called once at start, before any other thread runs: every allocation reads the allocator's
// settings unguarded, so changing them while another thread allocates is a race.
void returnLargeBlocksAtOnce();

// Negative, zero or positive as a orders before, with or after b: code-point order for UTF-8.
int compareUtf8(QByteArrayView a, QByteArrayView b);

template <typename Keep>
void TextEntries::keepIf(Keep keep)
{
    qsizetype written = 0;
    quint32 to = 0;
    quint32 from = 0;
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        const quint32 end = ends_[i];
        if (keep(qsizetype(i), QByteArrayView(bytes_.constData() + from, end - from))) {
            if (from != to)
                std::memmove(bytes_.data() + to, bytes_.constData() + from, end - from);
            to += end - from;
            ends_[std::size_t(written++)] = to;
        }
        from = end;
    }
    ends_.resize(std::size_t(written));
    bytes_.truncate(to);
}

// The test entries of the Number Selection window, no window needed.
//
// Two sorted, duplicate-free collections: the whole numbers (ascending int32) and the text entries
// (ascending code-point order, exact case-sensitive identity). Which collection an entry belongs to is
// decided by classifyEntry(), so "007" is the number 7 and "99999999999" is a text.
//
// Rows, as the list box shows them: every text entry first (rows 0..textCount()-1, in list order),
// then every number in plain decimal.
//
// The list holds at most kMaxEntries entries, its text entries at most kMaxTextBytes bytes of UTF-8:
// what one number-list file may add, so that every saved list reads back. An addition that would
// pass either bound is refused whole and changes nothing.
class SelectionList
{
public:
    static constexpr qint64 kMaxEntries = 20'000'000;
    static constexpr qint64 kMaxTextBytes = 100'000'000;

    // What an addition would add: new entries, and the UTF-8 bytes of its new text entries.
    struct Growth
    {
        qint64 entries = 0;
        qint64 textBytes = 0;
    };
    bool hasRoomFor(Growth growth) const
    {
        return rowCount() + growth.entries <= kMaxEntries && texts_.bytes() + growth.textBytes <= kMaxTextBytes;
    }
    // What adding the entry would add: nothing when it is present.
    Growth growthOf(const QString& entry) const;

    // Where an entry stands (present) or would be inserted (not present).
    struct Position
    {
        int row;
        bool present;
    };

    // Single entries; true when the list changed (an addition without room changes nothing). Each is a
    // binary search plus one insert/erase in the sorted collection.
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
    int textCount() const { return static_cast<int>(texts_.size()); }
    int numberCount() const { return static_cast<int>(numbers_.size()); }
    bool isEmpty() const { return texts_.empty() && numbers_.empty(); }
    // Text of a row, computed on demand; an empty text for a row out of range.
    QString rowText(int row) const;
    bool isNumberRow(int row) const { return row >= textCount() && row < rowCount(); }

    // Adds every value start..end inclusive in one linear pass and returns how many were new.
    // An empty range (end < start) adds nothing; one of more than kMaxRangeValues values, or one the
    // list has no room for, is refused (returns -1, nothing changes).
    qint64 addRange(qint32 start, qint32 end);
    // How many values of start..end are not in the list yet (O(log n)); 0 for an empty range.
    qint64 missingInRange(qint32 start, qint32 end) const;

    // Many entries at once (a comma list): sort, then one merge per collection. Return how many
    // entries were added / removed; addEntries returns -1 and adds nothing when there is no room.
    int addEntries(const QStringList& entries);
    int removeEntries(const QStringList& entries);
    Growth growthOf(const QStringList& entries) const;
    // Splits entries into their numbers and texts, each sorted and held once, as addSorted takes them.
    static void sortEntries(const QStringList& entries, std::vector<qint32>& numbers, TextEntries& texts);

    // Entries already sorted and each held once (numbers ascending, texts in code-point order), as a
    // file reader collects them. addSorted merges them in, linear in the list and the entries, and
    // takes their memory; it returns how many were new, or -1 (nothing added) when there is no room.
    // growthOf counts those not in the list yet, linear too, or a binary search each when they are
    // few against a long list; a caller that has just counted them hands the count on.
    qint64 addSorted(std::vector<qint32>&& numbers, TextEntries&& texts);
    qint64 addSorted(std::vector<qint32>&& numbers, TextEntries&& texts, Growth growth);
    Growth growthOf(const std::vector<qint32>& numbers, const TextEntries& texts) const;

    // Appends the rows from row on, each as its text in UTF-8 followed by lineEnd, until out has grown
    // to at least until bytes or the rows are done; returns the next row. The bytes are those of
    // rowText(row).toUtf8(), without a string made for a number row.
    int appendRowsUtf8(int row, QByteArray& out, QByteArrayView lineEnd, qsizetype until) const;

    // Removes the given rows (any order, duplicates and rows out of range ignored) in linear time and
    // returns the rows removed, ascending, as numbered before the removal.
    std::vector<int> removeRowsAt(std::vector<int> rows);
    // The rows removeRowsAt() would remove: ascending, unique, within 0..rowCount()-1.
    std::vector<int> normalizedRows(std::vector<int> rows) const;

    // Empties the list and gives its memory back.
    void clear();

    const std::vector<qint32>& numberList() const { return numbers_; }
    const TextEntries& texts() const { return texts_; }
    std::vector<QString> numStringList() const { return texts_.toStrings(); }

private:
    std::vector<qint32> numbers_;
    TextEntries texts_;
};
