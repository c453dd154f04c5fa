#include "engine/results_text.h"

#include <algorithm>

#include "engine/case_fold.h"

namespace tarnwick {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace

ResultsFileText::ResultsFileText(const TextEncoding& encoding)
    : m_encoding(encoding), m_inCodePage(encoding.IsCodePage()) {}

void ResultsFileText::Admit(std::span<const std::string> entries) {
    for (std::size_t i = 0; m_inCodePage && i < entries.size(); ++i)
        m_inCodePage = m_encoding.Encode(entries[i]).has_value();
}

std::string_view ResultsFileText::Start() const {
    return m_encoding.IsCodePage() && !m_inCodePage ? kUtf8Mark : std::string_view();
}

std::string ResultsFileText::Render(std::span<const std::string> entries) const {
    std::size_t size = 0;
    for (const auto& entry : entries) size += entry.size() + kLineEnd.size();
    std::string text;
    text.reserve(size);
    for (const auto& entry : entries) {
        if (m_inCodePage) {
            text.append(m_encoding.Encode(entry).value());
        } else {
            text.append(entry);
        }
        text.append(kLineEnd);
    }
    return text;
}

std::string RenderResultsFile(std::span<const std::string> entries, const TextEncoding& encoding) {
    ResultsFileText file(encoding);
    file.Admit(entries);
    return std::string(file.Start()) + file.Render(entries);
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
