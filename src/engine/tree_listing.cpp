#include "engine/tree_listing.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace tarnwick {

namespace {

// Listings that wait on the storage (a cold disk, a share) leave the cores
// idle, so a few listers more than cores keep both busy.
constexpr unsigned kListersForStorage = 2;

unsigned ListerCount(const ListingPace& pace) {
    if (pace.listers > 0) return pace.listers;
    return std::max(1u, std::thread::hardware_concurrency()) + kListersForStorage;
}

struct Folder {
    std::string path;
    bool taken = false;
    bool listed = false;
    std::size_t bytes = 0;
    std::vector<std::string> files;
    std::vector<std::unique_ptr<Folder>> subfolders;
};

std::size_t BytesOf(const std::vector<std::string>& paths) {
    std::size_t bytes = 0;
    for (const std::string& path : paths) bytes += path.size();
    return bytes;
}

// The folders of a tree: listed by several threads in the order they are
// found, and handed over level by level by one. While the folders listed
// ahead of the next to hand over hold more bytes than allowed, only that one
// is listed.
class TreeListing {
public:
    using List = std::function<FolderListing(const std::string& folder)>;
    using Take = std::function<void(std::vector<std::string>&& files)>;

    TreeListing(std::string first, std::size_t aheadBytes, const List& list)
        : m_list(list), m_aheadBytes(aheadBytes) {
        auto root = std::make_unique<Folder>();
        root->path = std::move(first);
        m_toList.push_back(root.get());
        m_toHandOver.push_back(std::move(root));
    }

    ~TreeListing() {
        {
            const std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_listerWake.notify_all();
        for (std::thread& lister : m_listers) lister.join();
    }

    TreeListing(const TreeListing&) = delete;
    TreeListing& operator=(const TreeListing&) = delete;

    // As many as the system gives, one at least.
    void StartListers(unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            try {
                m_listers.emplace_back([this] { ListFolders(); });
            } catch (const std::system_error&) {
                if (m_listers.empty()) throw;
                return;
            }
        }
    }

    void HandOver(const Take& take) {
        std::unique_lock lock(m_mutex);
        while (!m_toHandOver.empty()) {
            m_handOverWake.wait(lock, [&] { return m_toHandOver.front()->listed; });
            std::unique_ptr<Folder> folder = std::move(m_toHandOver.front());
            m_toHandOver.pop_front();
            for (auto& subfolder : folder->subfolders) m_toHandOver.push_back(std::move(subfolder));
            const bool wasFull = Full();
            m_bytesAhead -= folder->bytes;
            // Full, the listers wait for room or for the next to hand over.
            if (wasFull) m_listerWake.notify_all();
            lock.unlock();
            if (!folder->files.empty()) take(std::move(folder->files));
            folder.reset();
            lock.lock();
        }
    }

private:
    void ListFolders() {
        std::unique_lock lock(m_mutex);
        while (Folder* folder = WaitForNext(lock)) {
            lock.unlock();
            FolderListing listing = m_list(folder->path);
            std::vector<std::unique_ptr<Folder>> subfolders = Unlisted(listing.subfolders);
            lock.lock();
            Publish(*folder, std::move(listing), std::move(subfolders));
        }
    }

    // The next folder to list, taken; none once the listing ends.
    Folder* WaitForNext(std::unique_lock<std::mutex>& lock) {
        Folder* next = nullptr;
        ++m_idleListers;
        m_listerWake.wait(lock, [&] { return m_ending || (next = TakeNext()) != nullptr; });
        --m_idleListers;
        return m_ending ? nullptr : next;
    }

    bool Full() const { return m_bytesAhead >= m_aheadBytes; }

    // Under the lock: the first folder found that is still to be listed; while
    // full, only the next to hand over.
    Folder* TakeNext() {
        if (m_toList.empty()) return nullptr;
        auto next = m_toList.begin();
        if (Full()) {
            Folder* first = m_toHandOver.empty() ? nullptr : m_toHandOver.front().get();
            if (!first || first->taken) return nullptr;
            next = std::find(m_toList.begin(), m_toList.end(), first);
        }
        Folder* folder = *next;
        folder->taken = true;
        m_toList.erase(next);
        return folder;
    }

    static std::vector<std::unique_ptr<Folder>> Unlisted(std::vector<std::string>& paths) {
        std::vector<std::unique_ptr<Folder>> folders;
        folders.reserve(paths.size());
        for (std::string& path : paths) {
            folders.push_back(std::make_unique<Folder>());
            folders.back()->path = std::move(path);
        }
        return folders;
    }

    // Under the lock.
    void Publish(Folder& folder, FolderListing&& listing,
                 std::vector<std::unique_ptr<Folder>>&& subfolders) {
        folder.bytes = BytesOf(listing.files);
        for (const auto& subfolder : subfolders) {
            folder.bytes += subfolder->path.size();
            m_toList.push_back(subfolder.get());
        }
        folder.files = std::move(listing.files);
        folder.subfolders = std::move(subfolders);
        folder.listed = true;
        m_bytesAhead += folder.bytes;
        if (!m_toHandOver.empty() && &folder == m_toHandOver.front().get())
            m_handOverWake.notify_one();
        // This lister takes one itself.
        const std::size_t found = folder.subfolders.size();
        for (std::size_t woken = 1; woken < found && woken <= m_idleListers; ++woken)
            m_listerWake.notify_one();
    }

    const List& m_list;
    const std::size_t m_aheadBytes;
    std::mutex m_mutex;
    std::condition_variable m_listerWake;
    std::condition_variable m_handOverWake;
    // Guarded by m_mutex: the folders to hand over, in order, each owning its
    // subfolders until it is handed over; those still to be listed, in the
    // order they were found.
    std::deque<std::unique_ptr<Folder>> m_toHandOver;
    std::deque<Folder*> m_toList;
    std::size_t m_bytesAhead = 0;
    std::size_t m_idleListers = 0;
    bool m_ending = false;
    std::vector<std::thread> m_listers;
};

}  // namespace

void ListTreeInWalkOrder(std::string first, const ListingPace& pace,
                         const std::function<FolderListing(const std::string& folder)>& list,
                         const std::function<void(std::vector<std::string>&& files)>& take) {
    TreeListing listing(std::move(first), pace.aheadBytes, list);
    listing.StartListers(ListerCount(pace));
    listing.HandOver(take);
}

}  // namespace tarnwick
