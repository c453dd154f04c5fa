#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/expected.h"
#include "engine/file_system.h"

namespace tarnwick {

inline constexpr std::size_t kSmallFilesPerBatch = 16;

// What a batch found for one path.
struct SmallFileOutcome {
    // false when the batch did not look the path up (it is not on a local
    // disk, or the batch failed); the caller then tests the file the usual
    // way.
    bool lookedUp = false;
    Expected<PathKind> kind = PathKind::Missing;
    // Set for a regular file of at most the batch's size limit that was read
    // whole: the bytes read, or why it could not be opened or read.
    std::optional<Expected<std::size_t>> read;
    bool waitedOnStorage = false;
};

// Looks up and reads many small files with a few system calls for the whole
// batch instead of several for every file (on Linux through io_uring), where
// system calls cost more than the reading itself. Only regular files are
// opened, and each is read whole into a buffer of the batch's own. One
// reader serves one thread.
class SmallFileReader {
public:
    // Nothing where the system offers no batched reads, or refuses them.
    static std::unique_ptr<SmallFileReader> Create(std::size_t sizeLimit);
    // Makes every later Create() meet the refusal of a kernel that offers
    // no batched reads, so that tests run the one-by-one path.
    static void RefuseForTesting();
    ~SmallFileReader();
    SmallFileReader(const SmallFileReader&) = delete;
    SmallFileReader& operator=(const SmallFileReader&) = delete;

    // paths: at most kSmallFilesPerBatch; outcomes: one per path.
    void ReadAll(std::span<const std::string* const> paths, std::span<SmallFileOutcome> outcomes);

    // The bytes read for the path at index in the last ReadAll.
    std::string_view Content(std::size_t index, std::size_t length) const;

    struct Ring;

private:
    explicit SmallFileReader(std::unique_ptr<Ring> ring);

    std::unique_ptr<Ring> m_ring;
};

}  // namespace tarnwick
