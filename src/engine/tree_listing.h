#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

// One listing of a folder as a walk of its tree keeps it: the paths of the
// subfolders to walk, in the order they are walked, and what the folder
// gives.
struct FolderListing {
    std::vector<std::string> subfolders;
    std::vector<std::string> files;
};

// How a tree is listed.
struct ListingPace {
    // Folders listed at once; 0 for one per core and a few more for storage
    // that keeps a listing waiting.
    unsigned listers = 0;
    // Bytes of paths held by folders listed ahead of the one handed over
    // next, beyond which only that one is listed.
    std::size_t aheadBytes = std::size_t{4} << 20;
};

// Lists the tree below first with several threads, each folder once through
// list, and hands every folder's files to take, on the calling thread, level
// by level: first, its subfolders in their order, then the subfolders of
// each of those in that order, and so on. Returns once every folder is
// handed over; a listing that never returns keeps it waiting, as it would
// keep a walk on one thread.
void ListTreeInWalkOrder(std::string first, const ListingPace& pace,
                         const std::function<FolderListing(const std::string& folder)>& list,
                         const std::function<void(std::vector<std::string>&& files)>& take);

}  // namespace tarnwick
