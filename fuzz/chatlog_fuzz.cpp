// Reading any bytes as each chat log `vebix learn` knows (and as whatever the detection makes
// of them): no crash, and every mind line written is one line of four fields with no control
// byte in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/cli/importer.h"
#include "engine/ai/mindline.h"
#include "engine/base/lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vebix::cli;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (InputFormat format : {InputFormat::Auto, InputFormat::Irssi, InputFormat::Weechat,
                               InputFormat::Znc, InputFormat::Telegram, InputFormat::Whatsapp}) {
        ImportOptions options;
        options.format = format;
        options.ignoreNicks = {"bob"};
        Importer importer(options);
        (void)importer.add(bytes);
        std::string written;
        importer.writeLines("1", 1700000000, [&](std::string_view block) { written += block; });
        std::size_t lines = 0;
        vebix::forEachLine(written, [&](std::string_view line) {
            if (line.empty()) return;
            ++lines;
            for (char c : line)
                if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') std::abort();
            const vebix::MindLine m = vebix::parseLine(line, vebix::AiSuffix::Keep);
            if (m.key.empty() || m.time.empty() || m.speaker.empty() || m.text.empty())
                std::abort();
        });
        if (lines != importer.lineCount()) std::abort();
    }
    return 0;
}
