#include "engine/content_test.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/file_system.h"
#include "engine/readable_file.h"

namespace tarnwick {

namespace {

constexpr std::size_t kTextCheckLength = 5;

// Longer than the system calls of a test of a file in memory take, shorter
// than the round trips of one on a share.
constexpr auto kSlowTest = std::chrono::milliseconds(1);

// The time a test spent in the system calls that may wait for the storage:
// on a share, their round trips. Matching, which takes long on a large file
// in memory, is left out.
class SystemCallTime {
public:
    template <typename Call>
    auto operator()(Call&& call) {
        const auto started = std::chrono::steady_clock::now();
        auto result = call();
        m_spent += std::chrono::steady_clock::now() - started;
        return result;
    }

    bool Slow() const { return m_spent > kSlowTest; }

private:
    std::chrono::steady_clock::duration m_spent{};
};

bool LooksLikeText(std::string_view start) {
    const std::string_view checked = start.substr(0, kTextCheckLength);
    return std::all_of(checked.begin(), checked.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 32 && byte <= 126;
    });
}

Verdict FromListed(bool listed) {
    return listed ? Verdict::Lacks : Verdict::Contains;
}

// One block buffer with room in front of it for the tail of the previous
// block, so that an occurrence across a block border lies in one window.
class CarriedSearch {
public:
    explicit CarriedSearch(const ContentConditions& conditions)
        : m_scan(conditions),
          m_carryCapacity(std::max<std::size_t>(conditions.Length(), 1) - 1),
          m_buffer(std::make_unique_for_overwrite<char[]>(m_carryCapacity + kBlockSize)) {}

    char* Block() const { return m_buffer.get() + m_carryCapacity; }

    // Searches the carry followed by the first blockLength bytes of Block();
    // true once the verdict is known.
    bool Decided(std::size_t blockLength) {
        const std::string_view window(Block() - m_carryLength, m_carryLength + blockLength);
        if (m_scan.Decided(window)) return true;
        m_carryLength = std::min(m_carryCapacity, window.size());
        std::memmove(Block() - m_carryLength, window.data() + window.size() - m_carryLength,
                     m_carryLength);
        return false;
    }

    Verdict Outcome() const { return FromListed(m_scan.Listed()); }

private:
    ContentConditions::Scan m_scan;
    std::size_t m_carryCapacity;
    std::size_t m_carryLength = 0;
    std::unique_ptr<char[]> m_buffer;
};

Expected<Verdict> TestSmallFile(ReadableFile& file, const ContentConditions& conditions,
                                SystemCallTime& timed) {
    const auto size = static_cast<std::size_t>(file.Size());
    const auto buffer = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(size, 1));
    const auto got = timed([&] { return file.Read(buffer.get(), size); });
    if (!got) return got.Error();
    return VerdictOnWholeContent(std::string_view(buffer.get(), got.Value()), conditions);
}

// Each block is read before keepGoing() is asked, so that a non-text start
// turns the file away first, without asking. A file whose size says 0 is
// read to its end: files such as those under /proc give their content only
// when read.
Expected<Verdict> TestLargeFile(ReadableFile& file, const ContentConditions& conditions,
                                const std::function<bool()>& keepGoing, SystemCallTime& timed) {
    const bool sizeKnown = file.Size() > 0;
    CarriedSearch search(conditions);
    for (std::uint64_t offset = 0; !sizeKnown || offset < file.Size(); offset += kBlockSize) {
        const auto wanted = static_cast<std::size_t>(
            sizeKnown ? std::min(kBlockSize, file.Size() - offset) : kBlockSize);
        const auto got = timed([&] { return file.Read(search.Block(), wanted); });
        if (!got) return got.Error();
        const std::size_t blockLength = got.Value();
        if (!sizeKnown && offset == 0 && blockLength < wanted && blockLength <= kSingleReadLimit) {
            return VerdictOnWholeContent(std::string_view(search.Block(), blockLength), conditions);
        }
        if (offset == 0 && !LooksLikeText(std::string_view(search.Block(), blockLength))) {
            return Verdict::NonText;
        }
        if (!keepGoing()) return Verdict::Stopped;
        if (search.Decided(blockLength)) return search.Outcome();
        if (blockLength < wanted) break;  // the end, or the file shrank since it was opened
    }
    return search.Outcome();
}

}  // namespace

std::optional<Expected<Verdict>> VerdictWithoutReading(const Expected<PathKind>& kind) {
    if (!kind) return Expected<Verdict>(kind.Error());
    switch (kind.Value()) {
        case PathKind::Missing:
        case PathKind::Directory:
            return Verdict::NotAFile;
        case PathKind::Other:
            return Verdict::NotTested;
        case PathKind::RegularFile:
            break;
    }
    return std::nullopt;
}

Verdict VerdictOnWholeContent(std::string_view content, const ContentConditions& conditions) {
    if (!LooksLikeText(content)) return Verdict::NonText;
    return FromListed(conditions.Lists(content));
}

// The size taken when the file is opened decides the blocks; bytes appended
// while it is read are not searched.
Expected<Verdict> TestFileContent(const std::string& path, const ContentConditions& conditions,
                                  const std::function<bool()>& keepGoing, bool* waitedOnStorage) {
    SystemCallTime timed;
    if (std::optional<Expected<Verdict>> verdict =
            VerdictWithoutReading(timed([&] { return QueryPathKind(path); }))) {
        return std::move(*verdict);
    }
    auto opened = timed([&] { return ReadableFile::Open(path); });
    if (!opened) return opened.Error();
    ReadableFile& file = opened.Value();
    if (!file.IsRegular()) return Verdict::NotTested;
    const bool small = file.Size() > 0 && file.Size() <= kSingleReadLimit;
    Expected<Verdict> verdict = small ? TestSmallFile(file, conditions, timed)
                                      : TestLargeFile(file, conditions, keepGoing, timed);
    if (waitedOnStorage) {
        // Where the file system does not tell, a test whose system calls took
        // long waited: a share's round trips take far longer than reading
        // from memory.
        *waitedOnStorage = file.ToldWhetherInMemory() ? file.WaitedOnStorage() : timed.Slow();
    }
    return verdict;
}

}  // namespace tarnwick
