// The list-file line splitting against a plain reading of its rule: a line
// runs to the next CR (an LF right after it belongs to that line end), and
// every LF inside a line ends an entry too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/path_text.h"

namespace {

std::vector<std::string> ReferenceEntries(std::string_view content) {
    std::vector<std::string> entries;
    std::size_t position = 0;
    while (position < content.size()) {
        std::string line;
        while (position < content.size() && content[position] != '\r') line += content[position++];
        if (position < content.size()) {
            ++position;
            if (position < content.size() && content[position] == '\n') ++position;
        }
        std::string entry;
        for (const char c : line) {
            if (c == '\n') {
                entries.push_back(entry);
                entry.clear();
            } else {
                entry += c;
            }
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> entries;
    tarnwick::ForEachListFileLine(content,
                                  [&](std::string_view entry) { entries.emplace_back(entry); });
    if (entries != ReferenceEntries(content)) std::abort();
    return 0;
}
