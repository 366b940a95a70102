// Replays the kept inputs of one fuzz target (tests/data/fuzz/<target>/) through the target's
// own entry and checks, in the ordinary test builds: every crash or hang fuzzing once found
// stays fixed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzReplay, KeptInputsPass) {
    namespace fs = std::filesystem;
    const fs::path dir(VEBIX_FUZZ_DATA);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    ASSERT_FALSE(files.empty()) << "no inputs kept for " << VEBIX_FUZZ_TARGET;
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        // A failed check aborts, which fails this test with the file's name in the log.
        std::cerr << "replaying " << file.filename().string() << "\n";
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                         bytes.size()),
                  0);
    }
}
