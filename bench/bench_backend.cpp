// Time the back-end takes to judge one long entry: a number of the given count of digits, either
// plain digits, signed, with a decimal point in its middle, or with an exponent; or text as long that
// only ICU's parser could read: digits in groups ("7,777,..."), which is too long to read, or
// ideographs without any digit ("中中..."), which is no number. Arguments: the shape (0 plain,
// 1 signed, 2 decimal, 3 exponent, 4 grouped, 5 no digit), then the count of digits or characters.

#include "Speller.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

namespace {

std::string longNumber(int shape, std::size_t digits)
{
    std::string text(digits, '7');
    switch (shape) {
    case 1:
        text.insert(text.begin(), '-');
        break;
    case 2:
        text.insert(text.begin() + std::ptrdiff_t(digits / 2), '.');
        break;
    case 3:
        text += "e5";
        break;
    case 4:
        for (std::size_t i = 3; i < text.size(); i += 4)
            text[i] = ',';
        break;
    case 5:
        text.clear();
        for (std::size_t i = 0; i < digits; ++i)
            text += "\xE4\xB8\xAD";
        break;
    default:
        break;
    }
    return text;
}

void BM_SpellLongNumber(benchmark::State& state)
{
    const backend::Speller speller;
    const std::string entry = longNumber(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    backend::Spelling spelling;
    for (auto _ : state) {
        speller.spell(entry, spelling);
        benchmark::DoNotOptimize(spelling.kind);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(entry.size()));
}

BENCHMARK(BM_SpellLongNumber)
    ->ArgNames({"shape", "digits"})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {800000, 10000000}})
    ->Unit(benchmark::kMillisecond);

} // namespace
