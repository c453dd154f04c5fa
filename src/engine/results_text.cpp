#include "engine/results_text.h"

#include <algorithm>

#include "engine/case_fold.h"

namespace tarnwick {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string RenderResultsFile(std::span<const std::string> entries) {
    std::size_t size = 0;
    for (const auto& entry : entries) size += entry.size() + kLineEnd.size();
    std::string text;
    text.reserve(size);
    for (const auto& entry : entries) text.append(entry).append(kLineEnd);
    return text;
}

std::size_t ClipboardColumnWidth(std::span<const std::string> entries) {
    std::size_t width = 0;
    for (const auto& entry : entries) width = std::max(width, CountUtf8Chars(entry));
    return width;
}

std::string RenderClipboardLines(std::span<const std::string> entries, std::size_t width) {
    std::size_t bytes = 0;
    for (const auto& entry : entries) bytes += entry.size();
    std::string text;
    text.reserve(bytes + entries.size() * (width + 1 + kLineEnd.size()));
    for (const auto& entry : entries) {
        const std::size_t chars = CountUtf8Chars(entry);
        text.append(entry).append(width > chars ? width - chars : 0, ' ');
        text.append(1, '\t').append(kLineEnd);
    }
    return text;
}

}  // namespace tarnwick
