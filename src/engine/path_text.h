#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/expected.h"
#include "engine/text_encoding.h"

namespace tarnwick {

// Replaces each pair of consecutive separators, scanned from the left and not
// overlapping, by one separator; a leading pair stays, so a network path
// stays one.
std::string RepairSeparators(std::string_view path);

// The paths of an open dialog's selection text: one path as it is; a folder
// and names separated by NUL characters, each name joined to the folder and
// repaired; or, for files that share no folder, an empty folder piece and
// full paths, each as it is.
std::vector<std::string> SplitSelection(std::string_view selection);

// Hands visit the entries of a list file, one per line, as views into
// content. A line ends at a CR, at a CR LF or at an LF; an LF at the very end
// leaves an empty last entry, while a final CR or CR LF does not. Entries are
// kept exactly as written.
void ForEachListFileLine(std::string_view content,
                         const std::function<void(std::string_view)>& visit);

// The content of a list file as text in the form of the engine's paths: read
// by its byte-order mark as UTF-8, UTF-16 little endian or UTF-16 big endian;
// without one, as UTF-8 when it is valid UTF-8, otherwise in the encoding's
// code page. Where the encoding is UTF-8 (POSIX) a file without a mark keeps
// its bytes.
std::string DecodeListFile(std::string content,
                           const TextEncoding& encoding = TextEncoding::System());

// Far more than any list of paths, and still a bounded cost for a file
// picked by mistake.
inline constexpr std::uint64_t kListFileSizeLimit = std::uint64_t{256} << 20;

// The bytes of the list file at path, up to kListFileSizeLimit. Opened
// without blocking, so that a FIFO or a device is turned away instead of
// blocking the caller; the size taken at opening bounds what is read.
Expected<std::string> ReadListFile(const std::string& path);

}  // namespace tarnwick
