#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick::testing {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::string& Path() const { return m_path; }
    std::string PathOf(std::string_view name) const { return m_path + "/" + std::string(name); }

    std::string WriteFile(std::string_view name, std::string_view content) const {
        const std::string path = PathOf(name);
        std::ofstream out(path, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
        return path;
    }

    std::string MakeFolder(std::string_view name) const {
        const std::string path = PathOf(name);
        std::filesystem::create_directories(path);
        return path;
    }

    std::string MakeFifo(std::string_view name) const {
        const std::string path = PathOf(name);
        if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
        return path;
    }

private:
    std::string m_path;
};

}  // namespace tarnwick::testing
