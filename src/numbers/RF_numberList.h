#pragma once

#include "numbers/SelectionList.h"
#include "platform/Dialogs.h"

#include <QString>

#include <vector>

// The program's file types: the one member "Number List" (extension "rcn"), built once at start-up.
class RF_numberList {
public:
    static void _Initialize();
    static const fw::FileType& NumberList();
};

// How much one number-list file may add to the list: as much as the list may hold, so that every
// saved list reads back.
struct NumberListBounds
{
    qint64 entries = SelectionList::kMaxEntries;     // different entries
    qint64 textBytes = SelectionList::kMaxTextBytes; // UTF-8 bytes of the different text entries
};

// The entries of a number-list file as "Augment List..." adds them, or why nothing may be added.
struct NumberListContent
{
    std::vector<qint32> numbers; // ascending, each once
    TextEntries texts;           // in code-point order, each once
    QString refusal;             // the message for the user when the file is refused; empty otherwise
};

// Reads a number-list file: every line but comment lines ("#" first) and empty ones is an entry,
// classified as the list classifies it. Only what the file held when it was opened is read; a file
// cut short or rewritten meanwhile is refused. Each different entry is held once while reading (a repeated line
// costs nothing once seen), and its text is counted as it comes: reading stops as soon as what is
// held passes a bound, or the file is found not to be UTF-8 text or cannot be read (nor its lines
// sorted, for want of a thread), and the refusal then names the file once and says why. So memory
// stays within the bounds and a line, whatever the order of the lines. Time linear in the file plus
// a sort of its different entries when they come out of order (radix for numbers, by eight bytes at
// a time for texts).
NumberListContent readNumberList(const fw::FolderItem& file, const NumberListBounds& bounds = {});

// For tests: once count more helper threads of a reading's sort have started, the next one cannot be,
// as when the system has none to give; a negative count (the default) lifts it.
void failHelperThreadStartsAfter(int count);

// Writes the rows of the list in row order, each followed by the stream's delimiter: the bytes
// WriteLine of each row's text would write, at a fraction of the cost.
void writeListRows(const SelectionList& list, fw::TextOutputStream& out);
