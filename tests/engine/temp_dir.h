#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/file_system.h"

namespace tarnwick::testing {

// The relative path "a/b" with the system's separator.
inline std::string WithSeparators(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

// The standard library's path for an engine path, and back.
inline std::filesystem::path NativePath(const std::string& path) {
#ifdef _WIN32
    const std::u16string text = PathToText(path);
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
    return std::filesystem::path(path);
#endif
}

inline std::string EnginePath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring wide = path.wstring();
    return PathFromText(std::u16string(wide.begin(), wide.end()));
#else
    return path.string();
#endif
}

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away. Relative names take "/" between their
// parts on every system.
class TempDir {
public:
    TempDir() {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::mt19937_64 random(std::random_device{}());
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const auto candidate = base / ("tarnwick-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) m_path = EnginePath(candidate);
        }
        if (m_path.empty()) throw std::runtime_error("cannot make a temporary folder");
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
#ifdef _WIN32
        // A read-only file would not be removed.
        for (std::filesystem::recursive_directory_iterator entry(NativePath(m_path), ignored), end;
             !ignored && entry != end; entry.increment(ignored)) {
            SetFileAttributesW(entry->path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
#endif
        std::filesystem::remove_all(NativePath(m_path), ignored);
    }

    const std::string& Path() const {
        return m_path;
    }
    std::string PathOf(std::string_view name) const {
        return m_path + kPathSeparator + WithSeparators(std::string(name));
    }

    std::string WriteFile(std::string_view name, std::string_view content) const {
        const std::string path = PathOf(name);
        std::ofstream out(NativePath(path), std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
        return path;
    }

    std::string MakeFolder(std::string_view name) const {
        const std::string path = PathOf(name);
        std::filesystem::create_directories(NativePath(path));
        return path;
    }

    // Makes name hidden: on POSIX its name must begin with ".", on Windows it
    // gets the hidden attribute.
    std::string Hide(std::string_view name) const {
#ifdef _WIN32
        return SetAttributes(name, FILE_ATTRIBUTE_HIDDEN);
#else
        const std::string path = PathOf(name);
        if (path.rfind("/.") != path.find_last_of('/'))
            throw std::runtime_error("not hidden: " + path);
        return path;
#endif
    }

#ifdef _WIN32
    // Sets the attributes (FILE_ATTRIBUTE_HIDDEN, ...) of name.
    std::string SetAttributes(std::string_view name, DWORD attributes) const {
        const std::string path = PathOf(name);
        if (!SetFileAttributesW(NativePath(path).c_str(), attributes))
            throw std::runtime_error("cannot set the attributes of " + path);
        return path;
    }
#else
    std::string MakeFifo(std::string_view name) const {
        const std::string path = PathOf(name);
        if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        return path;
    }
#endif

private:
    std::string m_path;
};

}  // namespace tarnwick::testing
