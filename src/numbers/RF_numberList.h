#pragma once

#include "platform/Dialogs.h"

#include <QString>

#include <vector>

class SelectionList;

// The program's file types: the one member "Number List" (extension "rcn"), built once at start-up.
class RF_numberList {
public:
    static void _Initialize();
    static const fw::FileType& NumberList();
};

// How much one number-list file may add to the list. Reading holds at most about twice this, so a
// file of any size, or one still being written, never uses up the memory; one list built from two
// full ranges still reads back.
struct NumberListBounds
{
    static constexpr qint64 kEntries = 20'000'000;     // different entries
    static constexpr qint64 kTextBytes = 100'000'000;  // UTF-8 bytes of the different text entries

    qint64 entries = kEntries;
    qint64 textBytes = kTextBytes;
};

// The entries of a number-list file as "Augment List..." adds them, or why nothing may be added.
struct NumberListContent
{
    std::vector<qint32> numbers; // ascending, each once
    std::vector<QString> texts;  // in code-point order, each once
    QString refusal;             // the message for the user when the file is refused; empty otherwise
};

// Reads a number-list file: every line but comment lines ("#" first) and empty ones is an entry,
// classified as the list classifies it. Only what the file held when it was opened is read. Each
// different entry is held once while reading (a repeated line costs nothing), and reading stops as
// soon as the file is found to exceed a bound, is not UTF-8 text, or cannot be read: the refusal then
// names the file once and says why. Time linear in the file (n log n where its entries are out of
// order), memory linear in its different entries within the bounds.
NumberListContent readNumberList(const fw::FolderItem& file, const NumberListBounds& bounds = {});

// Writes the rows of the list in row order, each followed by the stream's delimiter: the bytes
// WriteLine of each row's text would write, at a fraction of the cost.
void writeListRows(const SelectionList& list, fw::TextOutputStream& out);
