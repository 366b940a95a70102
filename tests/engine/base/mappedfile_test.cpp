#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "engine/base/mappedfile.h"

using namespace vebix;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "vebix-map-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::unique_ptr<MappedFile> mapWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    auto mapped = MappedFile::map(fd, static_cast<std::size_t>(fs::file_size(path)));
    ::close(fd);
    return mapped;
}

}  // namespace

TEST(MappedFile, ShowsTheBytesAndKeepsThemWhenTheFileIsReplacedOrGrows) {
    TempDir dir;
    const std::string path = dir.file("m.dat");
    const std::string bytes = std::string("k 1 s a\r\n\0x\xFF", 12) + std::string(9000, 'y');
    writeBytes(path, bytes);
    auto mapped = mapWhole(path);  // the descriptor is closed already
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(mapped->bytes(), bytes);

    std::ofstream(path, std::ios::binary | std::ios::app) << "more\r\n";
    EXPECT_EQ(mapped->bytes(), bytes);
    writeBytes(dir.file("new.dat"), "other\r\n");
    fs::rename(dir.file("new.dat"), path);
    EXPECT_EQ(mapped->bytes(), bytes);
    fs::remove(path);
    EXPECT_EQ(mapped->bytes(), bytes);
}

TEST(MappedFile, GivesNothingForWhatCannotBeMapped) {
    TempDir dir;
    writeBytes(dir.file("empty.dat"), "");
    EXPECT_EQ(mapWhole(dir.file("empty.dat")), nullptr);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "abc", 3), 3);
    EXPECT_EQ(MappedFile::map(ends[0], 3), nullptr);
    ::close(ends[0]);
    ::close(ends[1]);

    const int folder = ::open(dir.file("").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(MappedFile::map(folder, 4096), nullptr);
    ::close(folder);
}
