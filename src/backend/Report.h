#pragma once

#include "Speller.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace backend {

// The report, one block per entry in file order, each block preceded by a blank line:
//
//   Numbers As Words report
//   Configuration: /path/to/file
//   Entries: 4
//
//   42
//     cardinal: forty-two
//     ordinal: forty-second
//
//   3.5
//     cardinal: three point five
//
//   123456789012345678901234567890
//     not spelled: too large for English words
//
//   "abc": not a number
//
//   "1,000,000,...": too long to read as a number
//
// A number is shown as written unless blanks surround it; such numbers, and every entry that is
// not a number, are shown in double quotes so empty and blank entries stay visible. An entry line
// is never empty and never starts with a blank, so detail lines are told apart by their indent.

// Reads the whole file at path into text; on failure returns false with the reason in error.
bool readConfig(const char* path, std::string& text, std::string& error);

// Entries of a configuration text: one per line, each ended by LF except perhaps the last, a
// trailing CR dropped (CRLF files). A leading UTF-8 byte-order mark is not part of the first entry.
std::vector<std::string_view> splitEntries(std::string_view text);

// Appends text as valid UTF-8 fit for one line: each ill-formed byte sequence (maximal subpart)
// and each control character other than tab becomes U+FFFD, so a broken entry neither breaks the
// report's encoding nor its line structure.
void appendDisplayText(std::string& out, std::string_view text);

void appendHeading(std::string& out, std::string_view configPath, std::size_t entryCount);
void appendBlock(std::string& out, std::string_view entry, const Spelling& spelling);

// Writes the report on configText to out in large chunks; false when writing failed.
bool writeReport(std::FILE* out, std::string_view configPath, std::string_view configText, const Speller& speller);

} // namespace backend
