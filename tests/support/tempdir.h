#pragma once
// A temporary folder for a test of the engine (no Qt), removed with everything in it when the
// test ends; and writing a file's bytes in one go.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vebix::testing {

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "vebix-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace vebix::testing
