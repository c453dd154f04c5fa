#include "engine/folder_walk.h"

#include <utility>

#include "engine/case_fold.h"
#include "engine/file_system.h"
#include "engine/path_text.h"
#include "engine/tree_listing.h"

namespace tarnwick {

namespace {

bool IsVisible(const EntryAttributes& attributes) {
    return !attributes.hidden && !attributes.system;
}

// Only a real folder is entered: a link to a folder is never followed, so a
// link loop cannot make the walk endless.
bool IsWalkedSubfolder(const FolderEntry& entry) {
    return entry.attributes.type == EntryType::Folder && IsVisible(entry.attributes);
}

void AppendAll(std::vector<std::string>& to, std::vector<std::string>&& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

bool IsListedFile(const std::string& folder, const FolderEntry& entry) {
    switch (entry.attributes.type) {
        case EntryType::Other:
            return true;
        case EntryType::SymbolicLink: {
            const Expected<PathKind> target =
                QueryPathKind(JoinPath(folder, std::string(entry.name)));
            return target == PathKind::RegularFile || target == PathKind::Other;
        }
        default:
            return false;
    }
}

struct FolderNames {
    std::vector<std::string> subfolders;
    std::vector<std::string> files;
};

// The names in folder, each kind in name order: the subfolders a walk
// enters, and the files whose names match pattern (none for an empty one).
// A folder that cannot be listed, or whose listing fails midway, gives
// neither: the part listed would pass for the whole. yield is called before
// the listing and before each entry.
FolderNames NamesIn(const std::string& folder, std::string_view pattern,
                    const std::function<void()>& yield) {
    FolderNames names;
    yield();
    const Expected<void> listed = ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
        yield();
        if (IsWalkedSubfolder(entry)) {
            names.subfolders.emplace_back(entry.name);
        } else if (!pattern.empty() && MatchesWildcard(entry.name, pattern) &&
                   IsListedFile(folder, entry)) {
            names.files.emplace_back(entry.name);
        }
    });
    if (!listed) return {};
    SortByName(names.subfolders);
    SortByName(names.files);
    return names;
}

bool MatchesPlainWildcard(std::string_view name, std::string_view pattern) {
    constexpr std::size_t kNoStar = std::string_view::npos;
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t afterStar = kNoStar;
    std::size_t starMatchEnd = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            afterStar = ++p;
            starMatchEnd = n;
            continue;
        }
        const Utf8Char nameChar = DecodeFoldedChar(name.substr(n));
        if (p < pattern.size()) {
            const Utf8Char patternChar = DecodeFoldedChar(pattern.substr(p));
            if (pattern[p] == '?' || patternChar.codePoint == nameChar.codePoint) {
                p += patternChar.length;
                n += nameChar.length;
                continue;
            }
        }
        if (afterStar == kNoStar) return false;
        starMatchEnd += DecodeUtf8(name.substr(starMatchEnd)).length;
        n = starMatchEnd;
        p = afterStar;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// A pattern of stars alone, or of stars before a trailing ".*", matches
// every name: the match need not look at the name.
bool MatchesEveryName(std::string_view pattern) {
    if (pattern.ends_with(".*")) pattern.remove_suffix(2);
    return !pattern.empty() && pattern.find_first_not_of('*') == std::string_view::npos;
}

bool HoldsVisibleEntry(const std::string& folder) {
    bool found = false;
    const Expected<void> listed = ForEachFolderEntry(
        folder, [&](const FolderEntry& entry) { found |= IsVisible(entry.attributes); });
    return listed && found;
}

bool IsRoot(const std::string& folder) {
    return folder == std::string(1, kPathSeparator) || folder.size() == DriveRootLength(folder);
}

// folder followed by each name and end, in the names' order.
std::vector<std::string> PathsIn(const std::string& folder, const std::vector<std::string>& names,
                                 std::string_view end) {
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) {
        std::string& path = paths.emplace_back();
        path.reserve(folder.size() + name.size() + end.size());
        path.append(folder).append(name).append(end);
    }
    return paths;
}

std::vector<std::string> SubfolderPaths(const std::string& folder,
                                        const std::vector<std::string>& names) {
    return PathsIn(folder, names, std::string_view(&kPathSeparator, 1));
}

std::vector<std::string> SubfoldersOf(const std::string& folder,
                                      const std::function<void()>& yield) {
    return SubfolderPaths(folder, NamesIn(folder, {}, yield).subfolders);
}

// What CollectSubfolders and ListFiles give for folder, from one listing:
// the subfolders to walk and the files that match pattern, neither when the
// listing fails. Names starting with "~" are no files of a walk.
FolderListing ListForWalk(const std::string& folder, std::string_view pattern,
                          TreeJoining joining) {
    FolderNames names = NamesIn(folder, pattern, [] {});
    std::erase_if(names.files, [](const std::string& name) { return name.starts_with('~'); });
    FolderListing listing{SubfolderPaths(folder, names.subfolders),
                          PathsIn(folder, names.files, {})};
    if (joining == TreeJoining::Repaired) {
        for (std::string& path : listing.files) path = RepairSeparators(path);
    }
    return listing;
}

}  // namespace

std::vector<std::string> NewFolderList(const std::string& folder) {
    const bool endsInSeparator = !folder.empty() && folder.back() == kPathSeparator;
    if (endsInSeparator && DriveRootLength(folder) != folder.size()) return {folder};
    return {folder + kPathSeparator};
}

void CollectSubfolders(std::vector<std::string>& folderList, bool recurse,
                       const std::function<void()>& yield) {
    std::vector<std::string> found;
    for (const std::string& folder : folderList) AppendAll(found, SubfoldersOf(folder, yield));
    for (std::size_t next = 0; recurse && next < found.size(); ++next)
        AppendAll(found, SubfoldersOf(found[next], yield));
    folderList.reserve(folderList.size() + found.size());
    for (auto& folder : found) {
        yield();
        folderList.push_back(std::move(folder));
    }
}

std::vector<std::string> ListFiles(const std::string& folderPath, std::string_view pattern) {
    return NamesIn(folderPath, pattern, [] {}).files;
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
    if (MatchesEveryName(pattern) || MatchesPlainWildcard(name, pattern)) return true;
    return pattern.ends_with(".*") &&
           MatchesPlainWildcard(name, pattern.substr(0, pattern.size() - 2));
}

std::string ExtensionPattern(std::string_view extension) {
    return "*." + std::string(extension);
}

// Every folder of the walk ends in a separator; below a drive root that
// separator is doubled, which only the repair removes.
void WalkFolderTree(const std::string& folder, std::string_view pattern, TreeJoining joining,
                    const std::function<void(std::vector<std::string>&& paths)>& found,
                    const ListingPace& pace) {
    ListTreeInWalkOrder(
        NewFolderList(folder).front(), pace,
        [&](const std::string& listed) { return ListForWalk(listed, pattern, joining); }, found);
}

// A root's own attributes do not count: Windows marks drive roots hidden and
// system, and some file systems show them as reparse points.
bool IsDroppedFolder(const std::string& path) {
    if (path.empty()) return false;
    const std::string folder = WithoutTrailingSeparators(path);
    if (IsRoot(folder))
        return QueryPathKind(folder) == PathKind::Directory && HoldsVisibleEntry(path);
    const EntryAttributes attributes = QueryEntryAttributes(folder);
    if (attributes.type != EntryType::Folder || !IsVisible(attributes)) return false;
    return path.back() != kPathSeparator || HoldsVisibleEntry(path);
}

}  // namespace tarnwick
