// Batched reads of small files on Linux, through io_uring: every path of a
// batch is looked up, then one submission opens, reads and closes every
// small regular file among them, each chained in the kernel. The look-ups
// are made on the calling thread: the ring would hand each to a thread of
// the kernel's, and that hop costs more than a look-up in memory.
//
// Only files on local disks are read so: a request on a network share or a
// FUSE file system may never be answered, and a process cannot end while
// one of its io_uring requests waits; their files are read one by one. A
// path is read in a batch only when it names a file itself, in a folder on a
// local disk: a symbolic link, whose target may lie anywhere, or a file
// mounted over the entry is read one by one as well.
#include <fcntl.h>
#include <liburing.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <functional>
#include <vector>

#include "engine/small_files.h"

namespace tarnwick {

namespace {

constexpr unsigned kQueueEntries = 4 * kSmallFilesPerBatch;

enum class Step : std::uint64_t { Open, Read, Close };

std::uint64_t Tag(Step step, std::size_t index) {
    return (static_cast<std::uint64_t>(step) << 32) | index;
}

Step StepOf(std::uint64_t tag) {
    return static_cast<Step>(tag >> 32);
}

std::size_t IndexOf(std::uint64_t tag) {
    return static_cast<std::size_t>(tag & 0xFFFFFFFFu);
}

// Whether what a look-up without following links found is the file itself,
// which lies on the file system of its folder.
bool IsOwnEntry(const struct statx& info) {
    const bool mountRoot =
        (info.stx_attributes_mask & info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return !S_ISLNK(info.stx_mode) && !mountRoot;
}

PathKind KindOf(const struct statx& info) {
    if (S_ISREG(info.stx_mode)) return PathKind::RegularFile;
    if (S_ISDIR(info.stx_mode)) return PathKind::Directory;
    return PathKind::Other;
}

std::atomic<bool> g_refused{false};

// File systems whose requests always end: block devices' and memory's.
bool IsLocalFileSystem(const std::string& folder) {
    struct statfs info {};
    if (statfs(folder.c_str(), &info) != 0) return false;
    switch (static_cast<unsigned long>(info.f_type)) {
        case EXT4_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case XFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case TMPFS_MAGIC:
        case RAMFS_MAGIC:
        case SQUASHFS_MAGIC:
        case ISOFS_SUPER_MAGIC:
        case MSDOS_SUPER_MAGIC:
        case EXFAT_SUPER_MAGIC:
            return true;
        default:
            return false;
    }
}

bool InitRing(io_uring& ring) {
    if (g_refused.load()) return false;
    // The fewest wake-ups where the kernel offers it; the plainest ring else.
    for (const unsigned flags : {IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_DEFER_TASKRUN,
                                 unsigned{IORING_SETUP_COOP_TASKRUN}, 0u}) {
        io_uring_params params{};
        params.flags = flags;
        if (io_uring_queue_init_params(kQueueEntries, &ring, &params) == 0) return true;
    }
    return false;
}

}  // namespace

struct SmallFileReader::Ring {
    // What the kernel writes into as requests complete.
    struct Storage {
        std::unique_ptr<char[]> buffers;
    };

    io_uring ring{};
    bool initialised = false;
    std::size_t sizeLimit = 0;
    std::unique_ptr<Storage> storage;
    // The storage of torn-down rings, whose cancelled requests the kernel
    // may still be ending.
    std::vector<std::unique_ptr<Storage>> retired;
    std::array<bool, kSmallFilesPerBatch> open{};

    char* Buffer(std::size_t index) const { return storage->buffers.get() + index * sizeLimit; }

    ~Ring() {
        if (initialised) io_uring_queue_exit(&ring);
    }

    bool Start() {
        initialised = InitRing(ring);
        if (initialised && io_uring_register_files_sparse(&ring, kSmallFilesPerBatch) != 0) {
            io_uring_queue_exit(&ring);
            initialised = false;
        }
        if (initialised) {
            storage = std::make_unique<Storage>();
            storage->buffers =
                std::make_unique_for_overwrite<char[]>(kSmallFilesPerBatch * sizeLimit);
        }
        return initialised;
    }

    // A failed submission or wait may leave requests in the queue and
    // completions in the ring that the next batch would take for its own:
    // the ring is torn down and a fresh one started.
    void Restart() {
        if (initialised) io_uring_queue_exit(&ring);
        initialised = false;
        retired.push_back(std::move(storage));
        static_cast<void>(Start());
    }

    // Whether the files of folder are read in batches; the answer for the
    // last folder asked about is kept, as a batch's files mostly share one.
    bool ReadsInBatches(const std::string& folder) {
        if (folder != lastFolder) {
            lastFolder = folder;
            lastFolderIsLocal = IsLocalFileSystem(folder);
        }
        return lastFolderIsLocal;
    }
    std::string lastFolder;
    bool lastFolderIsLocal = false;

    // Submits what was prepared and hands each of the count completions to
    // handle. false when the kernel took none of it.
    bool Complete(unsigned count, const std::function<void(std::uint64_t, int)>& handle) {
        if (count == 0) return true;
        int submitted = 0;
        do {
            submitted = io_uring_submit_and_wait(&ring, count);
        } while (submitted == -EINTR);
        if (submitted < 0) return false;
        for (unsigned done = 0; done < count; ++done) {
            io_uring_cqe* completion = nullptr;
            int waited = 0;
            do {
                waited = io_uring_wait_cqe(&ring, &completion);
            } while (waited == -EINTR);
            if (waited < 0) return false;
            handle(completion->user_data, completion->res);
            io_uring_cqe_seen(&ring, completion);
        }
        return true;
    }

    io_uring_sqe* Next(Step step, std::size_t index) {
        io_uring_sqe* entry = io_uring_get_sqe(&ring);
        io_uring_sqe_set_data64(entry, Tag(step, index));
        return entry;
    }

    void PrepareRead(std::size_t index, std::size_t from, std::size_t size, bool memoryOnly) {
        io_uring_sqe* read = Next(Step::Read, index);
        io_uring_prep_read(read, static_cast<int>(index), Buffer(index) + from,
                           static_cast<unsigned>(size - from), from);
        read->flags |= IOSQE_FIXED_FILE | IOSQE_IO_LINK;
        read->rw_flags = memoryOnly ? RWF_NOWAIT : 0;
        io_uring_prep_close_direct(Next(Step::Close, index), static_cast<unsigned>(index));
    }

    void PrepareOpenAndRead(std::size_t index, const std::string& path, std::size_t size) {
        io_uring_sqe* openFile = Next(Step::Open, index);
        // A link put in the file's place since its look-up is not followed.
        io_uring_prep_openat_direct(openFile, AT_FDCWD, path.c_str(),
                                    O_RDONLY | O_NONBLOCK | O_NOFOLLOW, 0,
                                    static_cast<unsigned>(index));
        openFile->flags |= IOSQE_IO_LINK;
        PrepareRead(index, 0, size, true);
    }
};

std::unique_ptr<SmallFileReader> SmallFileReader::Create(std::size_t sizeLimit) {
    auto ring = std::make_unique<Ring>();
    ring->sizeLimit = std::max<std::size_t>(sizeLimit, 1);
    if (!ring->Start()) return nullptr;
    return std::unique_ptr<SmallFileReader>(new SmallFileReader(std::move(ring)));
}

SmallFileReader::SmallFileReader(std::unique_ptr<Ring> ring) : m_ring(std::move(ring)) {}

SmallFileReader::~SmallFileReader() = default;

std::string_view SmallFileReader::Content(std::size_t index, std::size_t length) const {
    return {m_ring->Buffer(index), length};
}

namespace {

// Looks path up for a batch; true when it names a file of its own, whose
// size is then set. A path left to be tested alone stays not looked up.
bool LookUp(const std::string& path, SmallFileReader::Ring& ring, SmallFileOutcome& outcome,
            std::size_t& size) {
    if (!ring.ReadsInBatches(ContainingFolder(path))) return false;
    if (path.empty() || PathRefusal(path) != 0) {
        outcome.lookedUp = true;
        return false;
    }
    struct statx info {};
    const int error =
        statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_SIZE, &info) == 0
            ? 0
            : errno;
    if (error == 0 && !IsOwnEntry(info)) return false;
    outcome.lookedUp = true;
    outcome.kind = error == 0 ? KindOf(info) : FailedLookUp(path, error);
    size = static_cast<std::size_t>(info.stx_size);
    return error == 0;
}

}  // namespace

// Reads first ask for what is in memory only; a read that would wait, or got
// only part of the file, goes on in a further round that waits for the
// storage. A read that ends early finds the file shrunk since it was looked
// up. Whatever a failed step left open is closed at the end. When the ring
// itself fails, the batch leaves every path to the caller.
void SmallFileReader::ReadAll(std::span<const std::string* const> paths,
                              std::span<SmallFileOutcome> outcomes) {
    Ring& ring = *m_ring;
    const std::size_t count = std::min(paths.size(), kSmallFilesPerBatch);
    std::fill(outcomes.begin(), outcomes.begin() + count, SmallFileOutcome{});
    if (!ring.initialised) return;
    const auto leaveAllToCaller = [&] {
        std::fill(outcomes.begin(), outcomes.begin() + count, SmallFileOutcome{});
        ring.Restart();
    };
    ring.open.fill(false);

    std::array<std::size_t, kSmallFilesPerBatch> size{};
    std::array<std::size_t, kSmallFilesPerBatch> got{};
    std::array<bool, kSmallFilesPerBatch> pending{};
    unsigned steps = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!LookUp(*paths[i], ring, outcomes[i], size[i])) continue;
        if (!(outcomes[i].kind == PathKind::RegularFile) || size[i] > ring.sizeLimit) continue;
        ring.PrepareOpenAndRead(i, *paths[i], size[i]);
        ring.open[i] = pending[i] = true;
        steps += 3;
    }
    for (bool memoryOnly = true; steps > 0; memoryOnly = false) {
        const bool completed = ring.Complete(steps, [&](std::uint64_t tag, int result) {
            const std::size_t i = IndexOf(tag);
            switch (StepOf(tag)) {
                case Step::Open:
                    if (result == -ELOOP) {
                        // Replaced by a link since the look-up.
                        ring.open[i] = pending[i] = false;
                        outcomes[i] = SmallFileOutcome{};
                    } else if (result < 0) {
                        ring.open[i] = pending[i] = false;
                        outcomes[i].read = FileError("open", *paths[i], -result);
                    }
                    break;
                case Step::Read:
                    if (result >= 0) {
                        got[i] += static_cast<std::size_t>(result);
                        if (result == 0 || got[i] == size[i]) pending[i] = false;
                        outcomes[i].waitedOnStorage |= memoryOnly && pending[i];
                    } else if (memoryOnly && result != -ECANCELED) {
                        // EAGAIN: not in memory; any other answer: the file
                        // system cannot tell, and the next round reads the
                        // ordinary way.
                        outcomes[i].waitedOnStorage |= result == -EAGAIN;
                    } else if (result != -ECANCELED) {
                        pending[i] = false;
                        outcomes[i].read = FileError("read", *paths[i], -result);
                    }
                    break;
                case Step::Close:
                    if (result == 0) ring.open[i] = false;
                    break;
            }
        });
        if (!completed) {
            leaveAllToCaller();
            return;
        }
        steps = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (pending[i] && ring.open[i]) {
                ring.PrepareRead(i, got[i], size[i], false);
                steps += 2;
            }
        }
    }
    unsigned closes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (ring.open[i]) {
            io_uring_prep_close_direct(ring.Next(Step::Close, i), static_cast<unsigned>(i));
            ++closes;
        }
        if (outcomes[i].lookedUp && outcomes[i].kind == PathKind::RegularFile &&
            size[i] <= ring.sizeLimit && !outcomes[i].read) {
            outcomes[i].read = got[i];
        }
    }
    // The reads are complete; only the ring needs a fresh start when the
    // closes fail.
    if (!ring.Complete(closes, [&](std::uint64_t tag, int result) {
            if (result == 0) ring.open[IndexOf(tag)] = false;
        })) {
        ring.Restart();
    }
}

void SmallFileReader::RefuseForTesting() {
    g_refused.store(true);
}

}  // namespace tarnwick
