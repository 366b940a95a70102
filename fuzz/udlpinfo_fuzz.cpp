// Reading any bytes as a UDLP info file: no crash; either a conversion error of the header or
// a record whose values came from the file's lines.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/base/error.h"
#include "app/udlp/udlpinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::string copy(reinterpret_cast<const char*>(data), size);
    std::FILE* file = ::fmemopen(copy.data(), copy.size(), "rb");
    if (!file) std::abort();
    try {
        vebix::UdlpInfo info = vebix::readUdlpInfo(file);
        // Values are taken whole from lines, so none holds a line end.
        for (const std::string* v : {&info.botName, &info.exeName, &info.mind, &info.exePath})
            if (v->find_first_of("\r\n") != std::string::npos) std::abort();
    } catch (const vebix::Error&) {
        // The header's version lines did not read as numbers from 0 to 255.
    }
    std::fclose(file);
    return 0;
}
