#include "numbers/RF_numberList.h"

#include "numbers/EntryParsing.h"
#include "numbers/SelectionList.h"
#include "platform/Window.h"

#include <QLocale>
#include <QtEndian>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include <sys/mman.h>

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

// Sorts the values ascending, one byte a pass from the lowest, through a buffer of the same size;
// passes in which every value has the same byte are skipped.
void radixSort(std::vector<qint32>& values)
{
    const std::size_t n = values.size();
    std::vector<quint32> keys(n);
    std::vector<quint32> buffer(n);
    std::size_t counts[4][256] = {};
    for (std::size_t i = 0; i < n; ++i) {
        const quint32 key = quint32(values[i]) ^ 0x80000000u; // signed order as unsigned
        keys[i] = key;
        for (int pass = 0; pass < 4; ++pass)
            ++counts[pass][(key >> (8 * pass)) & 0xFF];
    }
    for (int pass = 0; pass < 4; ++pass) {
        std::size_t* count = counts[pass];
        if (std::any_of(count, count + 256, [n](std::size_t c) { return c == n; }))
            continue;
        std::size_t offset = 0;
        for (int b = 0; b < 256; ++b)
            offset += std::exchange(count[b], offset);
        for (const quint32 key : keys)
            buffer[count[(key >> (8 * pass)) & 0xFF]++] = key;
        keys.swap(buffer);
    }
    buffer = {};
    for (std::size_t i = 0; i < n; ++i)
        values[i] = qint32(keys[i] ^ 0x80000000u);
}

// Collects numbers and holds each different one once. Numbers that arrive in strictly ascending
// order (as a saved list holds them) are appended and counted exactly as they come; others are
// sorted and made unique whenever the collection has doubled since it last was, so memory stays
// within about twice the different numbers, and the time linear in them.
class DistinctNumbers
{
public:
    void add(qint32 value)
    {
        if (ascending_ && !values_.empty() && values_.back() >= value)
            ascending_ = false;
        values_.push_back(value);
        if (!ascending_ && qint64(values_.size()) >= compactAt_)
            compact();
    }

    // Sorts and removes repeats; afterwards the count is exact.
    void compact()
    {
        if (!ascending_) {
            radixSort(values_);
            values_.erase(std::unique(values_.begin(), values_.end()), values_.end());
            ascending_ = true;
        }
        known_ = qint64(values_.size());
        compactAt_ = std::max<qint64>(2 * known_, kFirstCompaction);
    }

    // A lower bound of the different numbers: exact while they ascend.
    qint64 distinct() const { return ascending_ ? qint64(values_.size()) : known_; }

    std::vector<qint32> take()
    {
        values_.shrink_to_fit();
        return std::move(values_);
    }

private:
    static constexpr qint64 kFirstCompaction = 1 << 20;

    std::vector<qint32> values_;
    bool ascending_ = true;
    qint64 known_ = 0;
    qint64 compactAt_ = kFirstCompaction;
};

// Eight bytes of the text from offset on, as a number that orders as the bytes do; zeros past its end.
quint64 keyAt(QByteArrayView text, qsizetype offset)
{
    char bytes[8] = {};
    if (offset < text.size())
        std::memcpy(bytes, text.data() + offset, std::size_t(std::min<qsizetype>(8, text.size() - offset)));
    return qFromBigEndian<quint64>(bytes);
}

std::atomic<int> helperStartsLeft{-1}; // see failHelperThreadStartsAfter

// Starts a helper thread of a sort; throws std::system_error, as std::thread does, when none can be
// made.
std::thread startHelper(std::function<void()> work)
{
    for (int left = helperStartsLeft.load(); left >= 0; left = helperStartsLeft.load()) {
        if (left == 0)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        if (helperStartsLeft.compare_exchange_weak(left, left - 1))
            break;
    }
    return std::thread(std::move(work));
}

// Sorts the items by their 64-bit key: a large range is first split in place by the sixteen bits
// after those all its keys share, so that the comparison sort works on parts that fit the cache.
template <typename Item>
void sortByKey(Item* first, Item* last)
{
    const auto byKey = [](const Item& a, const Item& b) { return a.key < b.key; };
    const std::size_t n = std::size_t(last - first);
    if (n < (1u << 16)) {
        std::sort(first, last, byKey);
        return;
    }
    quint64 differ = 0;
    for (const Item* k = first; k != last; ++k)
        differ |= k->key ^ first->key;
    if (differ == 0)
        return;
    constexpr int kBits = 16;
    const int shared = std::countl_zero(differ);
    const auto digit = [shared](const Item& k) {
        return std::size_t((k.key << shared) >> (64 - kBits));
    };
    std::vector<std::size_t> next(std::size_t(1) << kBits);
    for (const Item* k = first; k != last; ++k)
        ++next[digit(*k)];
    std::vector<std::size_t> end(next.size());
    std::size_t offset = 0;
    for (std::size_t b = 0; b < next.size(); ++b) {
        offset += std::exchange(next[b], offset);
        end[b] = offset;
    }
    for (std::size_t b = 0; b < next.size(); ++b) {
        while (next[b] < end[b]) {
            Item item = first[next[b]];
            std::size_t d = digit(item);
            while (d != b) {
                std::swap(item, first[next[d]++]);
                d = digit(item);
            }
            first[next[b]++] = item;
        }
    }
    // The parts are sorted on up to four threads, each taking whole parts of about a quarter of the
    // items.
    // Busy work that is abandoned stops sorting at the next part: its items are dropped anyway.
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    const std::atomic<bool>* const abandoned = fw::Window::busyAbandonFlag();
    const auto sortParts = [&](std::size_t fromPart, std::size_t toPart) {
        for (std::size_t b = fromPart; b < toPart && !(abandoned && abandoned->load(std::memory_order_relaxed)); ++b)
            std::sort(first + (b == 0 ? 0 : end[b - 1]), first + end[b], byKey);
    };
    // A helper that cannot be started (std::system_error, as std::thread throws) fails the sort: the
    // helpers started are joined first, so none is left running on the items.
    std::vector<std::thread> helpers;
    const auto joinAll = [&helpers] {
        for (std::thread& helper : helpers)
            helper.join();
    };
    std::size_t fromPart = 0;
    try {
        for (std::size_t t = 1; t < threads; ++t) {
            std::size_t toPart = fromPart;
            while (toPart < end.size() && end[toPart] < n * t / threads)
                ++toPart;
            helpers.push_back(startHelper([&sortParts, fromPart, toPart] { sortParts(fromPart, toPart); }));
            fromPart = toPart;
        }
    } catch (...) {
        joinAll();
        throw;
    }
    sortParts(fromPart, end.size());
    joinAll();
}

// Collects texts and holds each different one once, in UTF-8, with the sum of their bytes exact as
// they come. While they arrive in ascending order each one is only compared with the last; from the
// first one out of order on, a hash table of them tells a repeat at once.
class DistinctTexts
{
public:
    // For a file of the given size, of which at most maxEntries texts are held.
    DistinctTexts(qint64 fileBytes, qint64 maxEntries)
        : fileBytes_(fileBytes)
        , maxEntries_(maxEntries)
    {
    }

    // Holds the text unless it is held already; false, holding nothing more, when its bytes would
    // make the held text pass maxBytes. Out of order, texts are looked up a few at a time (at most
    // kBatch texts or kBatchBytes bytes), so that the table's memory is fetched for all of them at
    // once: count() then lags by those, until flush().
    bool add(QStringView text, qint64 maxBytes)
    {
        const qint64 length = utf8Length(text);
        if (length > maxBytes)
            return false;
        if (ascending_) {
            utf8_.resize(qsizetype(length));
            encoder_.appendToBuffer(utf8_.data(), text);
            const int order = texts_.empty() ? -1 : compareUtf8(texts_.at(texts_.size() - 1), utf8_);
            if (order == 0)
                return true;
            if (order < 0)
                return hold(utf8_, maxBytes, 0);
            ascending_ = false;
            // Room for half the texts the file would hold if its lines were like those so far, so
            // that the table is built anew once at most, without holding much more than it needs.
            const qint64 perLine = std::max<qint64>(2, (texts_.bytes() + texts_.size()) / std::max<qsizetype>(1, texts_.size()));
            growSlots(std::size_t(std::min(fileBytes_ / perLine, maxEntries_) / 2));
            for (qsizetype i = 0; i < texts_.size(); ++i)
                insertSlot(tagOf(texts_.at(i)), quint32(i));
            pendingBytes_.append(utf8_);
            utf8_ = QByteArray();
        } else {
            const qsizetype at = pendingBytes_.size();
            pendingBytes_.resize(at + qsizetype(length));
            encoder_.appendToBuffer(pendingBytes_.data() + at, text);
        }
        pendingEnds_.push_back(quint32(pendingBytes_.size()));
        if (pendingEnds_.size() >= kBatch || pendingBytes_.size() >= kBatchBytes)
            return flush(maxBytes);
        return true;
    }

    // Looks up the texts still pending; false as add().
    bool flush(qint64 maxBytes)
    {
        const std::size_t count = pendingEnds_.size();
        quint64 tags[kBatch];
        quint32 from = 0;
        for (std::size_t i = 0; i < count; ++i) {
            tags[i] = tagOf(QByteArrayView(pendingBytes_.constData() + from, pendingEnds_[i] - from));
            __builtin_prefetch(slots_.get() + ((tags[i] >> 32) & mask_));
            from = pendingEnds_[i];
        }
        bool held = true;
        from = 0;
        for (std::size_t i = 0; i < count && held; ++i) {
            const QByteArrayView text(pendingBytes_.constData() + from, pendingEnds_[i] - from);
            from = pendingEnds_[i];
            if (!contains(tags[i], text))
                held = hold(text, maxBytes, tags[i]);
        }
        pendingBytes_.resize(0);
        pendingEnds_.clear();
        return held;
    }

    qsizetype count() const { return texts_.size(); }

    // The texts in code-point order.
    TextEntries take()
    {
        utf8_ = QByteArray();
        slots_.reset();
        slotCount_ = 0;
        if (ascending_) {
            texts_.squeeze();
            return std::move(texts_);
        }
        // Each text by where it lies, with eight of its bytes as a number; sorted by eight bytes at a
        // time: each run of texts alike so far is sorted by its next eight, except texts that ended
        // within them, which come first, shortest first. Small runs are sorted whole.
        struct Key
        {
            quint64 key;
            quint32 from;
            quint32 length;
        };
        const char* const bytes = texts_.at(0).data();
        const auto textOf = [bytes](const Key& k) { return QByteArrayView(bytes + k.from, k.length); };
        std::vector<Key> order(std::size_t(texts_.size()));
        for (qsizetype i = 0; i < texts_.size(); ++i) {
            const QByteArrayView text = texts_.at(i);
            order[std::size_t(i)] = {keyAt(text, 0), quint32(text.data() - bytes), quint32(text.size())};
        }
        struct Run
        {
            std::size_t from;
            std::size_t to;
            qsizetype depth;
        };
        std::vector<Run> runs{{0, order.size(), 0}};
        while (!runs.empty() && !fw::Window::busyWorkAbandoned()) {
            const Run run = runs.back();
            runs.pop_back();
            Key* const first = order.data() + run.from;
            Key* const last = order.data() + run.to;
            if (run.to - run.from <= 16 && run.depth > 0) {
                std::sort(first, last, [&](const Key& a, const Key& b) { return compareUtf8(textOf(a), textOf(b)) < 0; });
                continue;
            }
            bool alike = true;
            for (Key* k = first; k != last; ++k) {
                if (run.depth > 0)
                    k->key = keyAt(textOf(*k), run.depth);
                alike = alike && k->key == first->key;
            }
            if (!alike)
                sortByKey(first, last);
            for (Key* from = first; from != last;) {
                Key* to = from + 1;
                while (to != last && to->key == from->key)
                    ++to;
                if (to - from > 1) {
                    const qsizetype next = run.depth + 8;
                    Key* const rest = std::partition(from, to, [&](const Key& k) { return k.length <= next; });
                    std::sort(from, rest, [](const Key& a, const Key& b) { return a.length < b.length; });
                    if (to - rest > 1)
                        runs.push_back({std::size_t(rest - order.data()), std::size_t(to - order.data()), next});
                }
                from = to;
            }
        }
        TextEntries sorted;
        sorted.reserve(texts_.size(), texts_.bytes());
        constexpr std::size_t kAhead = 16;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i + kAhead < order.size())
                __builtin_prefetch(bytes + order[i + kAhead].from);
            sorted.append(textOf(order[i]));
        }
        order = {};
        texts_.clear();
        return sorted;
    }

private:
    static constexpr quint64 kTagBits = ~quint64(0) << 32;
    static constexpr quint64 kIndexBits = ~kTagBits;

    // The high half of a slot: 32 bits of the text's hash, whose low bits also give its place.
    static quint64 tagOf(QByteArrayView text) { return quint64(qHash(text, 0x9E3779B9u)) & kTagBits; }

    static constexpr std::size_t kBatch = 16;
    static constexpr qsizetype kBatchBytes = 1 << 16;

    bool contains(quint64 tag, QByteArrayView text) const
    {
        for (std::size_t at = (tag >> 32) & mask_;; at = (at + 1) & mask_) {
            const quint64 slot = slots_[at];
            if (slot == 0)
                return false;
            if ((slot & kTagBits) == tag && texts_.at(qsizetype(slot & kIndexBits) - 1) == text)
                return true;
        }
    }

    bool hold(QByteArrayView text, qint64 maxBytes, quint64 tag)
    {
        if (texts_.bytes() + text.size() > maxBytes)
            return false;
        texts_.append(text);
        if (!ascending_)
            insertSlot(tag, quint32(texts_.size() - 1));
        return true;
    }

    void insertSlot(quint64 tag, quint32 index)
    {
        growSlots(std::size_t(index) + 1);
        place(tag | (quint64(index) + 1));
    }

    // Makes room for count texts, the table at most seven tenths full so that a probe stays short;
    // growing needs no text again.
    void growSlots(std::size_t count)
    {
        if (10 * count <= 7 * slotCount_)
            return;
        const std::size_t formerCount = slotCount_;
        slotCount_ = std::max<std::size_t>({1024, 2 * slotCount_, std::bit_ceil(10 * count / 7 + 1)});
        const SlotTable former = std::exchange(slots_, newSlots(slotCount_));
        mask_ = slotCount_ - 1;
        for (std::size_t i = 0; i < formerCount; ++i) {
            if (former[i] != 0)
                place(former[i]);
        }
    }

    void place(quint64 slot)
    {
        std::size_t at = (slot >> 32) & mask_;
        while (slots_[at] != 0)
            at = (at + 1) & mask_;
        slots_[at] = slot;
    }

    const qint64 fileBytes_;
    const qint64 maxEntries_;
    TextEntries texts_;
    QByteArray utf8_; // the text being added while they ascend
    QByteArray pendingBytes_; // texts not looked up yet, end to end, and the end of each
    std::vector<quint32> pendingEnds_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    bool ascending_ = true;
    struct FreeSlots
    {
        void operator()(quint64* table) const { std::free(table); }
    };
    using SlotTable = std::unique_ptr<quint64[], FreeSlots>;

    // The table is probed at random: large pages spare most of the address translation misses. It
    // comes zeroed from the system, untouched until used.
    static SlotTable newSlots(std::size_t count)
    {
        SlotTable table(static_cast<quint64*>(std::calloc(count, sizeof(quint64))));
        if (!table)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
        const auto start = (reinterpret_cast<std::uintptr_t>(table.get()) + kLarge - 1) & ~(kLarge - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(table.get() + count)) & ~(kLarge - 1);
        if (end > start)
            ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
        return table;
    }

    SlotTable slots_; // the high half of a text's hash, and its index + 1; 0 when empty
    std::size_t slotCount_ = 0;
    std::size_t mask_ = 0;
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

    DistinctNumbers numbers;
    DistinctTexts texts(in->sizeAtOpen(), bounds.entries);
    // Reading stops at the first sign that the file is no text or exceeds a bound: nothing of it
    // will be added.
    bool tooManyEntries = false;
    bool tooMuchText = false;
    do {
        const QStringView line = in->ReadLineView();
        if (line.isEmpty() || line.front() == u'#')
            continue;
        const EntryKind kind = classifyEntry(line);
        if (kind.kind == EntryKind::Number)
            numbers.add(kind.value);
        else
            tooMuchText = !texts.add(line, bounds.textBytes);
        tooManyEntries = numbers.distinct() + texts.count() > bounds.entries;
    } while (!tooManyEntries && !tooMuchText && !in->EOF() && in->firstNonTextLine() == 0
             && !fw::Window::busyWorkAbandoned());
    const qint64 nonTextLine = in->firstNonTextLine();
    const bool nonTextIsNul = in->nonTextIsNul();
    const qint64 overlongLine = in->firstOverlongLine();
    const QString readError = in->hadReadError() ? in->errorString() : QString();
    in->Close();
    // The user left (a quit or a close) while the file was read: nobody takes what was read so far.
    if (fw::Window::busyWorkAbandoned())
        return refuse(QStringLiteral("the read was abandoned."));

    // A file read only in part is not augmented from: the user would take the partial list for the whole.
    if (!readError.isEmpty()) {
        content.refusal = QStringLiteral("Could not read the number list file \"%1\": %2").arg(path, readError);
        return content;
    }
    // Bytes that are not UTF-8 would enter as replacement characters, and saving the list again would
    // change the user's entries; a binary file would add junk rows. No saved list holds a NUL.
    if (nonTextLine != 0 && nonTextIsNul)
        return refuse(QStringLiteral("line %1 holds a NUL byte: it is not a text file.").arg(nonTextLine));
    if (nonTextLine != 0)
        return refuse(QStringLiteral("line %1 is not UTF-8 text.").arg(nonTextLine));

    const QString moreText = QStringLiteral(" A list holds at most that much text, so that every saved list reads back.");
    if (overlongLine != 0)
        return refuse(QStringLiteral("line %1 is longer than %2 bytes.").arg(overlongLine).arg(grouped(bounds.textBytes)) + moreText);
    if (!tooManyEntries && !tooMuchText) {
        tooMuchText = !texts.flush(bounds.textBytes);
        numbers.compact();
        tooManyEntries = numbers.distinct() + texts.count() > bounds.entries;
    }
    // The file alone passes the bound: clearing the list would not make room for it.
    const QString noList = QStringLiteral(" No list can take this file whole, not even an empty one.");
    if (tooManyEntries) {
        return refuse(QStringLiteral("it holds more than %1 different entries. A list holds at most that many, so that "
                                     "every saved list reads back.")
                          .arg(grouped(bounds.entries))
                      + noList);
    }
    if (tooMuchText) {
        return refuse(QStringLiteral("its text entries (lines that are not whole numbers) hold more than %1 bytes.")
                          .arg(grouped(bounds.textBytes))
                      + moreText + noList);
    }
    try {
        content.texts = texts.take();
    } catch (const std::system_error& noThread) {
        content.refusal = QStringLiteral("Could not read the number list file \"%1\": no thread could be started to sort "
                                         "its lines (%2).")
                              .arg(path, QString::fromLocal8Bit(std::strerror(noThread.code().value())));
        return content;
    }
    content.numbers = numbers.take();
    return content;
}

void failHelperThreadStartsAfter(int count)
{
    helperStartsLeft = count;
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
