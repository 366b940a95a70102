// Reading whole inputs for vebix learn: files of known size and pipes, big enough to take many
// blocks, and the pre-faulting of fresh buffers.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/cli/inputreader.h"
#include "app/cli/prefault.h"

namespace vebix::cli {
namespace {

// Bytes that differ from block to block, with a line end now and then.
std::string sample(std::size_t size) {
    std::string bytes(size, 'x');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = i % 61 == 60 ? '\n' : static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return bytes;
}

struct Progress {
    std::vector<ReadProgress> reports;
    std::function<void(const ReadProgress&)> sink() {
        return [this](const ReadProgress& at) { reports.push_back(at); };
    }
};

TEST(InputReader, ReadsFilesOfEverySizeWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::atomic<bool> stop{false};
    // Empty, smaller than a block, a block exactly, and several blocks and a bit.
    for (const std::size_t size : {std::size_t{0}, std::size_t{5000}, std::size_t{1} << 20,
                                   (std::size_t{3} << 20) + 12345}) {
        SCOPED_TRACE(size);
        const std::string bytes = sample(size);
        const std::string path = dir.filePath(QStringLiteral("in.txt")).toStdString();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);

        Progress progress;
        const InputRead read = readInput(path, -1, stop, progress.sink());
        EXPECT_EQ(read.error, "");
        EXPECT_FALSE(read.interrupted);
        EXPECT_TRUE(read.bytes.view() == bytes);
        if (size == 0) continue;
        ASSERT_FALSE(progress.reports.empty());
        EXPECT_EQ(progress.reports.back().bytes, size);
        EXPECT_EQ(progress.reports.back().total, size);
        EXPECT_EQ(progress.reports.back().lines,
                  static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    }
}

TEST(InputReader, ReadsAPipeWholeWithoutKnowingItsSize) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string bytes = sample((std::size_t{5} << 20) + 777);
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fds[1], bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fds[1]);
    });
    const std::atomic<bool> stop{false};
    Progress progress;
    const InputRead read = readInput("-", fds[0], stop, progress.sink());
    writer.join();
    ::close(fds[0]);
    EXPECT_EQ(read.error, "");
    EXPECT_TRUE(read.bytes.view() == bytes);
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_EQ(progress.reports.back().bytes, bytes.size());
    EXPECT_EQ(progress.reports.back().total, 0u);
}

TEST(Prefault, LeavesTheBytesOfAnyRangeAsTheyWere) {
    std::vector<char> buffer(std::size_t{6} << 20);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<char>(i * 31 % 251);
    const std::vector<char> before = buffer;
    // The whole buffer, a range starting and ending inside pages, a small one and an empty one.
    prefault(buffer.data(), buffer.size());
    prefault(buffer.data() + 123, (std::size_t{4} << 20) + 4567);
    prefault(buffer.data() + 5, 100);
    prefault(buffer.data() + 9, 0);
    EXPECT_TRUE(buffer == before);
}

}  // namespace
}  // namespace vebix::cli
