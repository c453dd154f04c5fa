#pragma once

// The simple case folding of the Unicode Character Database as tables,
// written at build time by make_case_fold_table.py into case_fold_table.cpp
// in the build folder.

#include <cstdint>
#include <span>

namespace tarnwick::case_fold_table {

// Code points are looked up in blocks of 1 << kBlockBits: kBlockRows gives a
// block's row in kDeltaIndex, whose entry for the code point picks the
// difference in kDeltas that takes it to its fold. Code points past the last
// block fold to themselves.
inline constexpr unsigned kBlockBits = 7;
extern const std::span<const std::uint8_t> kBlockRows;
extern const std::span<const std::uint8_t> kDeltaIndex;
extern const std::span<const std::int32_t> kDeltas;

struct Folding {
    char32_t fold;
    char32_t codePoint;
};

// Every code point that does not fold to itself, sorted by fold, then code
// point: the letters of one case class are its fold and one run here.
extern const std::span<const Folding> kFoldings;

}  // namespace tarnwick::case_fold_table
