#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "engine/base/mappedfile.h"
#include "support/tempdir.h"

using namespace vebix;
using vebix::testing::TempDir;
using vebix::testing::writeBytes;
namespace fs = std::filesystem;

namespace {

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

// read() copies the same bytes as the mapping shows, from any offset; populate() keeps them.
TEST(MappedFile, ReadCopiesWhatTheMappingShows) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
    writeBytes(dir.file("m.dat"), bytes);
    auto mapped = mapWhole(dir.file("m.dat"));
    ASSERT_NE(mapped, nullptr);
    for (auto [offset, size] : {std::pair<std::size_t, std::size_t>{0, bytes.size()},
                                {4095, 2},
                                {bytes.size() - 1, 1},
                                {17, 0}}) {
        std::string out(size, '?');
        mapped->read(offset, size, out.data());
        EXPECT_EQ(out, bytes.substr(offset, size)) << offset;
    }
    EXPECT_FALSE(mapped->populated());
    mapped->populate();
    EXPECT_TRUE(mapped->populated());
    EXPECT_EQ(mapped->bytes(), bytes);
    EXPECT_FALSE(mapped->cut());
}

// Another program cutting the file shorter while it is mapped does not kill the process:
// the lost bytes read as zeros, through the mapping and through read(), and cut() says so.
TEST(MappedFile, AFileCutShorterReadsAsZeros) {
    TempDir dir;
    const std::string path = dir.file("m.dat");
    const std::string bytes = std::string(3 * 4096, 'a') + std::string(2 * 4096 + 100, 'b');
    writeBytes(path, bytes);
    auto mapped = mapWhole(path);
    ASSERT_NE(mapped, nullptr);
    ASSERT_EQ(::truncate(path.c_str(), 4096 + 10), 0);

    mapped->populate();  // brings in every page it can, the lost ones as zeros
    EXPECT_TRUE(mapped->populated());
    const std::string_view seen = mapped->bytes();
    EXPECT_EQ(seen.substr(0, 4096 + 10), bytes.substr(0, 4096 + 10));
    EXPECT_EQ(seen[3 * 4096 + 5], '\0');  // a whole page past the new end
    EXPECT_EQ(seen.back(), '\0');
    EXPECT_TRUE(mapped->cut());

    auto again = mapWhole(dir.file("m.dat"));  // a second mapping of the short file is fine
    ASSERT_NE(again, nullptr);
    std::string out(20, '?');
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    again->read(4096 - 10, 20, out.data());
    EXPECT_EQ(out, std::string(10, 'a') + std::string(10, '\0'));
    EXPECT_TRUE(again->cut());
}
