#!/usr/bin/env python3
"""Writes the tables of engine/case_fold_table.h from the Unicode Character
Database: the simple case folding (statuses C and S of CaseFolding.txt), with
the names from UnicodeData.txt for the list of folds whose UTF-8 encoding has
another length.

Usage: make_case_fold_table.py CaseFolding.txt UnicodeData.txt OUTPUT.cpp
"""

import sys

BLOCK_BITS = 7  # must equal kBlockBits in case_fold_table.h
BLOCK_SIZE = 1 << BLOCK_BITS


def read_simple_folding(path):
    folding = {}
    version = "CaseFolding.txt"
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            if line.startswith("# CaseFolding-"):
                version = line[2:].strip()
            fields = [field.strip() for field in line.split("#")[0].split(";")]
            if len(fields) >= 3 and fields[1] in ("C", "S"):
                folding[int(fields[0], 16)] = int(fields[2], 16)
    if not folding:
        sys.exit(f"{path}: no simple case folding found")
    return folding, version


def read_names(path):
    names = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.split(";")
            names[int(fields[0], 16)] = fields[1]
    return names


def utf8_length(code_point):
    return 1 if code_point < 0x80 else 2 if code_point < 0x800 else 3 if code_point < 0x10000 else 4


def check_folds_are_final(folding):
    """case_fold.cpp finds the letters of a case class through their common
    fold, so a fold must fold to itself."""
    for code_point, fold in folding.items():
        if folding.get(fold, fold) != fold:
            sys.exit(f"U+{code_point:04X}: its fold U+{fold:04X} does not fold to itself")


def delta_tables(folding):
    last_block = max(folding) >> BLOCK_BITS
    deltas = [0]
    rows = [(0,) * BLOCK_SIZE]
    block_rows = []
    for block in range(last_block + 1):
        row = []
        for code_point in range(block << BLOCK_BITS, (block + 1) << BLOCK_BITS):
            delta = folding.get(code_point, code_point) - code_point
            if delta not in deltas:
                deltas.append(delta)
            row.append(deltas.index(delta))
        row = tuple(row)
        if row not in rows:
            rows.append(row)
        block_rows.append(rows.index(row))
    if len(deltas) > 256 or len(rows) > 256:
        sys.exit("the folding no longer fits tables of one-byte indexes")
    return block_rows, [index for row in rows for index in row], deltas


def numbers(values, per_line):
    items = [str(value) for value in values]
    lines = [", ".join(items[i:i + per_line]) for i in range(0, len(items), per_line)]
    return "\n".join("    " + line + "," for line in lines)


def describe(code_point, names):
    return f"U+{code_point:04X} {names.get(code_point, 'UNNAMED')}"


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    folding, version = read_simple_folding(sys.argv[1])
    names = read_names(sys.argv[2])
    check_folds_are_final(folding)
    block_rows, delta_index, deltas = delta_tables(folding)
    foldings = sorted((fold, code_point) for code_point, fold in folding.items())
    pairs = [f"{{0x{fold:04X}, 0x{code_point:04X}}}" for fold, code_point in foldings]
    other_length = [
        f"// {describe(code_point, names)} -> {describe(fold, names)}"
        for code_point, fold in sorted(folding.items())
        if utf8_length(code_point) != utf8_length(fold)
    ]
    other_length_list = "\n".join(other_length)
    source = f"""// Written by make_case_fold_table.py from {version}; do not edit.
#include "engine/case_fold_table.h"

namespace tarnwick::case_fold_table {{

static_assert(kBlockBits == {BLOCK_BITS});

namespace {{

constexpr std::uint8_t kBlockRowsData[] = {{
{numbers(block_rows, 16)}
}};

constexpr std::uint8_t kDeltaIndexData[] = {{
{numbers(delta_index, 32)}
}};

constexpr std::int32_t kDeltasData[] = {{
{numbers(deltas, 8)}
}};

constexpr Folding kFoldingsData[] = {{
{numbers(pairs, 4)}
}};

}}  // namespace

constinit const std::span<const std::uint8_t> kBlockRows{{kBlockRowsData}};
constinit const std::span<const std::uint8_t> kDeltaIndex{{kDeltaIndexData}};
constinit const std::span<const std::int32_t> kDeltas{{kDeltasData}};
constinit const std::span<const Folding> kFoldings{{kFoldingsData}};

// The {len(other_length)} folds between letters whose UTF-8 encodings differ in length:
{other_length_list}

}}  // namespace tarnwick::case_fold_table
"""
    with open(sys.argv[3], "w", encoding="utf-8") as out:
        out.write(source)


if __name__ == "__main__":
    main()
