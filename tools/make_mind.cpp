// vebix-make-mind: writes a deterministic mind of N lines made from a conversation corpus.
//   vebix-make-mind --lines N --corpus FILE --out FILE [--seed S] [--plain] [--bot-name NAME]
//                   [--start SECONDS]
// --out - writes to standard output. See mindgen.h for what the mind looks like.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "tools/mindgen.h"

namespace {

int usage() {
    std::cerr << "usage: vebix-make-mind --lines N --corpus FILE --out FILE [--seed S] [--plain]\n"
                 "                       [--bot-name NAME] [--start SECONDS]\n";
    return 2;
}

// A whole decimal number, or false.
bool readNumber(const char* text, unsigned long long& value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return *end == '\0' && text[0] != '-';
}

}  // namespace

int main(int argc, char** argv) {
    vebix::mindgen::Options options;
    std::string corpus, out;
    bool haveLines = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long long number = 0;
        if (arg == "--plain") {
            options.plain = true;
            continue;
        }
        if (!value) return usage();
        ++i;
        if (arg == "--lines" && readNumber(value, number)) {
            options.lines = number;
            haveLines = true;
        } else if (arg == "--seed" && readNumber(value, number)) {
            options.seed = number;
        } else if (arg == "--start" && readNumber(value, number) && number <= 0xFFFFFFFFull) {
            options.startTime = static_cast<std::uint32_t>(number);
        } else if (arg == "--bot-name" &&
                   std::string_view(value).find_first_of("\"\r\n") == std::string_view::npos) {
            options.botName = value;
        } else if (arg == "--corpus") {
            corpus = value;
        } else if (arg == "--out") {
            out = value;
        } else {
            return usage();
        }
    }
    if (!haveLines || corpus.empty() || out.empty()) return usage();
    try {
        const std::string mind =
            vebix::mindgen::makeMind(vebix::mindgen::readCorpusFile(corpus), options);
        if (out == "-") {
            std::cout.write(mind.data(), static_cast<std::streamsize>(mind.size()));
            std::cout.flush();
            return std::cout ? 0 : 1;
        }
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        file.write(mind.data(), static_cast<std::streamsize>(mind.size()));
        file.close();
        if (!file) {
            std::cerr << "vebix-make-mind: cannot write " << out << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "vebix-make-mind: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
