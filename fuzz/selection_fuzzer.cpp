// The split of an open dialog's selection text and the separator repair,
// against plain readings of their rules: the repair by runs of separators,
// the split by hand.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/path_text.h"

namespace {

constexpr char kSeparator = tarnwick::kPathSeparator;

// A run of k separators keeps half of them, rounded up; a run at the start
// keeps its first two and halves the rest.
std::string ReferenceRepair(std::string_view path) {
    std::string repaired;
    std::size_t i = 0;
    while (i < path.size()) {
        if (path[i] != kSeparator) {
            repaired += path[i++];
            continue;
        }
        std::size_t run = 0;
        const bool atStart = i == 0;
        while (i < path.size() && path[i] == kSeparator) ++run, ++i;
        const std::size_t kept = atStart && run >= 2 ? 2 + (run - 2 + 1) / 2 : (run + 1) / 2;
        repaired.append(kept, kSeparator);
    }
    return repaired;
}

std::vector<std::string> ReferenceSplit(std::string_view selection) {
    std::vector<std::string> pieces;
    if (selection.empty()) return pieces;
    pieces.emplace_back();
    for (const char c : selection) {
        if (c == '\0') {
            pieces.emplace_back();
        } else {
            pieces.back() += c;
        }
    }
    if (pieces.size() == 1) return pieces;
    const std::string folder = pieces.front();
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (folder.empty()) {
            paths.push_back(pieces[i]);
        } else if (folder.back() == kSeparator) {
            paths.push_back(ReferenceRepair(folder + pieces[i]));
        } else {
            paths.push_back(ReferenceRepair(folder + kSeparator + pieces[i]));
        }
    }
    return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (tarnwick::RepairSeparators(input) != ReferenceRepair(input)) std::abort();
    if (tarnwick::SplitSelection(input) != ReferenceSplit(input)) std::abort();
    return 0;
}
