#include "numbers/RF_numberList.h"

#include "numbers/EntryParsing.h"
#include "numbers/SelectionList.h"

#include <QLocale>

#include <algorithm>

namespace {
fw::FileType numberListType;
bool initialized = false;

// Bytes of the text in UTF-8: 1 to 3 per unit, 4 per surrogate pair (2 per surrogate).
qint64 utf8Length(QStringView text)
{
    qint64 bytes = 0;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        bytes += unit < 0x80 ? 1 : unit < 0x800 || c.isSurrogate() ? 2 : 3;
    }
    return bytes;
}

struct NoWeight
{
    qint64 operator()(qint32) const { return 0; }
};

struct Utf8Weight
{
    qint64 operator()(const QString& text) const { return utf8Length(text); }
};

// Collects values and holds each different one once, with the sum of their weights. Values that
// arrive in strictly ascending order (as a saved list holds them) are appended and counted exactly as
// they come; others are sorted and made unique whenever the collection has doubled since it last
// was, so memory stays within twice the different values and the time within n log n.
template <typename T, typename Less, typename Weigh>
class DistinctValues
{
public:
    void add(T value, qint64 weight)
    {
        if (ascending_ && !values_.empty() && !Less()(values_.back(), value))
            ascending_ = false;
        values_.push_back(std::move(value));
        weight_ += weight;
        if (!ascending_ && qint64(values_.size()) >= compactAt_)
            compact();
    }

    // Sorts and removes repeats; afterwards the counts are exact.
    void compact()
    {
        if (!ascending_) {
            std::sort(values_.begin(), values_.end(), Less());
            values_.erase(std::unique(values_.begin(), values_.end()), values_.end());
            weight_ = 0;
            for (const T& value : values_)
                weight_ += Weigh()(value);
            ascending_ = true;
        }
        known_ = qint64(values_.size());
        knownWeight_ = weight_;
        compactAt_ = std::max<qint64>(2 * known_, kFirstCompaction);
    }

    // Lower bounds of the different values and of their weight: exact while the values ascend.
    qint64 distinct() const { return ascending_ ? qint64(values_.size()) : known_; }
    qint64 distinctWeight() const { return ascending_ ? weight_ : knownWeight_; }

    std::vector<T> take()
    {
        values_.shrink_to_fit();
        return std::move(values_);
    }

private:
    static constexpr qint64 kFirstCompaction = 1 << 20;

    std::vector<T> values_;
    bool ascending_ = true;
    qint64 weight_ = 0;
    qint64 known_ = 0;
    qint64 knownWeight_ = 0;
    qint64 compactAt_ = kFirstCompaction;
};

QString grouped(qint64 value)
{
    return QLocale(QLocale::English).toString(value);
}

} // namespace

void RF_numberList::_Initialize()
{
    numberListType.Name = QStringLiteral("Number List");
    numberListType.Extensions = QStringLiteral("rcn");
    numberListType.MacType = QString();
    numberListType.MacCreator = QString();
    initialized = true;
}

const fw::FileType& RF_numberList::NumberList()
{
    if (!initialized)
        _Initialize();
    return numberListType;
}

NumberListContent readNumberList(const fw::FolderItem& file, const NumberListBounds& bounds)
{
    NumberListContent content;
    const QString path = file.path();
    const auto refuse = [&](const QString& reason) {
        content.refusal = QStringLiteral("Nothing was added from the number list file \"%1\": %2").arg(path, reason);
        return std::move(content);
    };
    QString error;
    std::unique_ptr<fw::TextInputStream> in = file.OpenAsTextFile(&error);
    if (!in) {
        content.refusal = QStringLiteral("Could not open the number list file \"%1\": %2").arg(path, error);
        return content;
    }
    // A line longer than the text one file may add is never held whole: its UTF-16 units are at most
    // its UTF-8 bytes.
    in->setLineLimit(bounds.textBytes);

    DistinctValues<qint32, std::less<qint32>, NoWeight> numbers;
    DistinctValues<QString, CodePointLess, Utf8Weight> texts;
    const auto overBounds = [&] {
        return numbers.distinct() + texts.distinct() > bounds.entries || texts.distinctWeight() > bounds.textBytes;
    };
    // Reading stops at the first sign that the file is no text or exceeds a bound: nothing of it
    // will be added.
    bool over = false;
    do {
        const QStringView line = in->ReadLineView();
        if (line.isEmpty() || line.front() == u'#')
            continue;
        const EntryKind kind = classifyEntry(line);
        if (kind.kind == EntryKind::Number)
            numbers.add(kind.value, 0);
        else
            texts.add(line.toString(), utf8Length(line));
        over = overBounds();
    } while (!over && !in->EOF() && in->firstNonTextLine() == 0);
    const qint64 nonTextLine = in->firstNonTextLine();
    const qint64 overlongLine = in->firstOverlongLine();
    const QString readError = in->hadReadError() ? in->errorString() : QString();
    in->Close();

    // A file read only in part is not augmented from: the user would take the partial list for the whole.
    if (!readError.isEmpty()) {
        content.refusal = QStringLiteral("Could not read the number list file \"%1\": %2").arg(path, readError);
        return content;
    }
    // Bytes that are not UTF-8 would enter as replacement characters, and saving the list again would
    // change the user's entries; a binary file would add junk rows.
    if (nonTextLine != 0)
        return refuse(QStringLiteral("line %1 is not UTF-8 text.").arg(nonTextLine));

    const QString why = QStringLiteral(", so that reading a list never uses up the memory.");
    const QString moreText = QStringLiteral(" One file may add at most that much text") + why;
    if (overlongLine != 0)
        return refuse(QStringLiteral("line %1 is longer than %2 bytes.").arg(overlongLine).arg(grouped(bounds.textBytes)) + moreText);
    if (!over) {
        numbers.compact();
        texts.compact();
    }
    if (numbers.distinct() + texts.distinct() > bounds.entries) {
        return refuse(QStringLiteral("it holds more than %1 different entries. One file may add at most that many")
                          .arg(grouped(bounds.entries))
                      + why);
    }
    if (texts.distinctWeight() > bounds.textBytes) {
        return refuse(QStringLiteral("its text entries (lines that are not whole numbers) hold more than %1 bytes.")
                          .arg(grouped(bounds.textBytes))
                      + moreText);
    }
    content.numbers = numbers.take();
    content.texts = texts.take();
    return content;
}

void writeListRows(const SelectionList& list, fw::TextOutputStream& out)
{
    constexpr qsizetype kChunk = 1 << 16;
    const QByteArray lineEnd = out.Delimiter().toUtf8();
    QByteArray chunk;
    chunk.reserve(kChunk + 256);
    for (int row = 0; row < list.rowCount();) {
        chunk.resize(0);
        row = list.appendRowsUtf8(row, chunk, lineEnd, kChunk);
        out.WriteUtf8(chunk);
    }
}
