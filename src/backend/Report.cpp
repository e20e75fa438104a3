#include "Report.h"

#include <unicode/utf8.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace backend {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Output is handed to stdio in chunks of about this size rather than line by line.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

bool isPlainAscii(std::string_view text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u >= 0x7F)
            return false;
    }
    return true;
}

bool isControl(UChar32 c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

bool flush(std::FILE* out, std::string& buffer)
{
    const bool ok = buffer.empty() || std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    buffer.clear();
    return ok;
}

} // namespace

bool readConfig(const char* path, std::string& text, std::string& error)
{
    text.clear();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, got);
    if (std::ferror(file.get())) {
        error = errno != 0 ? std::strerror(errno) : "read error";
        return false;
    }
    return true;
}

std::vector<std::string_view> splitEntries(std::string_view text)
{
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string_view> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        entries.push_back(line);
    }
    return entries;
}

void appendDisplayText(std::string& out, std::string_view text)
{
    if (isPlainAscii(text)) {
        out += text;
        return;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const std::size_t length = text.size();
    std::size_t i = 0;
    while (i < length) {
        const std::size_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0 || isControl(c))
            out += kReplacement;
        else
            out.append(text.data() + start, i - start);
    }
}

void appendHeading(std::string& out, std::string_view configPath, std::size_t entryCount)
{
    out += "Numbers As Words report\nConfiguration: ";
    appendDisplayText(out, configPath);
    out += "\nEntries: ";
    out += std::to_string(entryCount);
    out += '\n';
}

void appendBlock(std::string& out, std::string_view entry, const Spelling& spelling)
{
    out += '\n';
    const bool isNumber = spelling.kind != Spelling::Kind::NotANumber && spelling.kind != Spelling::Kind::TooLong;
    if (isNumber && trimBlanks(entry).size() == entry.size()) {
        appendDisplayText(out, entry);
    } else {
        out += '"';
        appendDisplayText(out, entry);
        out += '"';
    }
    switch (spelling.kind) {
    case Spelling::Kind::Words:
        out += "\n  cardinal: ";
        appendDisplayText(out, spelling.cardinal);
        if (!spelling.ordinal.empty()) {
            out += "\n  ordinal: ";
            appendDisplayText(out, spelling.ordinal);
        }
        out += '\n';
        break;
    case Spelling::Kind::TooLarge:
        out += "\n  not spelled: too large for English words\n";
        break;
    case Spelling::Kind::TooPrecise:
        out += "\n  not spelled: too many digits to spell exactly\n";
        break;
    case Spelling::Kind::TooLong:
        out += ": too long to read as a number\n";
        break;
    case Spelling::Kind::NotANumber:
        out += ": not a number\n";
        break;
    }
}

bool writeReport(std::FILE* out, std::string_view configPath, std::string_view configText, const Speller& speller)
{
    const std::vector<std::string_view> entries = splitEntries(configText);
    std::string buffer;
    buffer.reserve(kChunkBytes + 4096);
    appendHeading(buffer, configPath, entries.size());

    Spelling spelling;
    for (const std::string_view entry : entries) {
        speller.spell(entry, spelling);
        appendBlock(buffer, entry, spelling);
        if (buffer.size() >= kChunkBytes && !flush(out, buffer))
            return false;
    }
    return flush(out, buffer) && std::fflush(out) == 0;
}

} // namespace backend
