#include "engine/results_text.h"

#include <algorithm>

#include "engine/case_fold.h"

namespace tarnwick {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

std::string RenderResultsFile(const std::vector<std::string>& entries) {
    std::size_t size = 0;
    for (const auto& entry : entries) size += entry.size() + kLineEnd.size();
    std::string text;
    text.reserve(size);
    for (const auto& entry : entries) text.append(entry).append(kLineEnd);
    return text;
}

std::string RenderClipboardText(const std::vector<std::string>& entries) {
    std::size_t width = 0;
    std::size_t totalChars = 0;
    std::size_t totalBytes = 0;
    for (const auto& entry : entries) {
        const std::size_t chars = CountUtf8Chars(entry);
        width = std::max(width, chars);
        totalChars += chars;
        totalBytes += entry.size();
    }
    const std::size_t padding = width * entries.size() - totalChars;
    std::string text;
    text.reserve(totalBytes + padding + entries.size() * (1 + kLineEnd.size()));
    for (const auto& entry : entries) {
        text.append(entry).append(width - CountUtf8Chars(entry), ' ');
        text.append(1, '\t').append(kLineEnd);
    }
    return text;
}

}  // namespace tarnwick
