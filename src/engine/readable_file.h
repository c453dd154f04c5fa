#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/expected.h"

namespace tarnwick {

// A file opened for reading raw bytes, closed when the object goes away.
class ReadableFile {
public:
    // Opening never blocks, not even on a FIFO that replaced the file since it
    // was looked at; IsRegular() then tells that it must not be read.
    static Expected<ReadableFile> Open(const std::string& path);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    // What the file was when it was opened.
    bool IsRegular() const { return m_regular; }
    std::uint64_t Size() const { return m_size; }

    // Reads until count bytes arrived or the file ended; gives the number read.
    Expected<std::size_t> Read(char* into, std::size_t count);

    // Whether a read had to wait for the storage: the data was not in memory.
    bool WaitedOnStorage() const;
    // Whether the file system told if the data was in memory; where it did
    // not (shares, FUSE, /proc, Windows), WaitedOnStorage() is false.
    bool ToldWhetherInMemory() const;

    // The whole content of a regular file of at most sizeLimit bytes, as long
    // as it was when it was opened: bytes appended since are not read, and a
    // file that shrank gives what is left. Anything else is never read: a
    // FIFO, a device or a socket could block or never end.
    Expected<std::string> ReadAll(std::uint64_t sizeLimit);

private:
    explicit ReadableFile(std::string path) : m_path(std::move(path)) {}
    SystemError Error(const char* action, int code) const;

    // The system's handle of the open file: a descriptor on POSIX, a HANDLE
    // on Windows, whose INVALID_HANDLE_VALUE is kNoHandle as well.
    static constexpr std::intptr_t kNoHandle = -1;

    std::string m_path;
    std::intptr_t m_handle = kNoHandle;
    bool m_regular = false;
    std::uint64_t m_size = 0;
    // What the system's own source file keeps between reads; 0 is nothing.
    std::uint8_t m_systemState = 0;
};

}  // namespace tarnwick
