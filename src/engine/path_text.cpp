#include "engine/path_text.h"

#include <functional>

#include "engine/case_fold.h"
#include "engine/file_system.h"
#include "engine/readable_file.h"

namespace tarnwick {

namespace {

bool IsSeparatorPairAt(std::string_view text, std::size_t position) {
    return position + 1 < text.size() && text[position] == kPathSeparator &&
           text[position + 1] == kPathSeparator;
}

std::vector<std::string_view> CutAtNul(std::string_view text) {
    std::vector<std::string_view> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (std::size_t nul; (nul = text.find('\0', start)) != std::string_view::npos;
         start = nul + 1) {
        pieces.push_back(text.substr(start, nul - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// A line feed inside a line read up to a carriage return ends an entry too.
void VisitLineEntries(std::string_view line, const std::function<void(std::string_view)>& visit) {
    std::size_t start = 0;
    for (std::size_t lineFeed; (lineFeed = line.find('\n', start)) != std::string_view::npos;
         start = lineFeed + 1) {
        visit(line.substr(start, lineFeed - start));
    }
    visit(line.substr(start));
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// An odd last byte is half a unit: it becomes U+FFFD.
std::u16string Utf16Of(std::string_view bytes, bool bigEndian) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::u16string text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned high = bigEndian ? byte(i) : byte(i + 1);
        const unsigned low = bigEndian ? byte(i + 1) : byte(i);
        text.push_back(static_cast<char16_t>(high << 8 | low));
    }
    if (bytes.size() % 2 != 0) text.push_back(u'\uFFFD');
    return text;
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t offset = 0; offset < bytes.size();) {
        if (static_cast<unsigned char>(bytes[offset]) < 0x80) {
            ++offset;
            continue;
        }
        const Utf8Char character = DecodeUtf8(bytes.substr(offset));
        if (!character.valid) return false;
        offset += character.length;
    }
    return true;
}

}  // namespace

std::string RepairSeparators(std::string_view path) {
    std::string repaired;
    repaired.reserve(path.size());
    std::size_t position = 0;
    if (IsSeparatorPairAt(path, 0)) {
        repaired.append(path.substr(0, 2));
        position = 2;
    }
    while (position < path.size()) {
        repaired.push_back(path[position]);
        position += IsSeparatorPairAt(path, position) ? 2 : 1;
    }
    return repaired;
}

std::vector<std::string> SplitSelection(std::string_view selection) {
    const std::vector<std::string_view> pieces = CutAtNul(selection);
    if (pieces.size() <= 1) return {pieces.begin(), pieces.end()};
    // Files that share no folder follow an empty folder piece as full paths.
    if (pieces.front().empty()) return {pieces.begin() + 1, pieces.end()};
    std::vector<std::string> paths;
    paths.reserve(pieces.size() - 1);
    // JoinPath adds no separator to a folder that ends in one, so the root
    // "/" gives "/a.txt" rather than a "//a.txt" that the repair would keep.
    const std::string folder(pieces.front());
    for (std::size_t i = 1; i < pieces.size(); ++i)
        paths.push_back(RepairSeparators(JoinPath(folder, std::string(pieces[i]))));
    return paths;
}

void ForEachListFileLine(std::string_view content,
                         const std::function<void(std::string_view)>& visit) {
    std::size_t position = 0;
    while (position < content.size()) {
        const std::size_t carriageReturn = content.find('\r', position);
        if (carriageReturn == std::string_view::npos) {
            VisitLineEntries(content.substr(position), visit);
            break;
        }
        VisitLineEntries(content.substr(position, carriageReturn - position), visit);
        position = carriageReturn + 1;
        if (position < content.size() && content[position] == '\n') ++position;
    }
}

std::string DecodeListFile(std::string content, const TextEncoding& encoding) {
    const std::string_view bytes(content);
    if (bytes.starts_with(kUtf8Mark)) {
        content.erase(0, kUtf8Mark.size());
        return content;
    }
    if (bytes.starts_with(kUtf16LittleEndianMark))
        return PathFromText(Utf16Of(bytes.substr(kUtf16LittleEndianMark.size()), false));
    if (bytes.starts_with(kUtf16BigEndianMark))
        return PathFromText(Utf16Of(bytes.substr(kUtf16BigEndianMark.size()), true));
    if (!encoding.IsCodePage() || IsValidUtf8(bytes)) return content;
    return PathFromText(encoding.Decode(bytes));
}

Expected<std::string> ReadListFile(const std::string& path) {
    Expected<ReadableFile> file = ReadableFile::Open(path);
    if (!file) {
        return file.Error();
    }
    return file.Value().ReadAll(kListFileSizeLimit);
}

}  // namespace tarnwick
