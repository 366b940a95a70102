// Reading any bytes as CHAT.MSG, as the bot reads a request and as link mode reads a reply:
// no crash, and what is read is whole lines of the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/udlp/botmode.h"
#include "app/udlp/linkexchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // A request read before, whose message ended with a lone CR: nothing of it may carry over
    // to the next file read (the C library tends to give the next stream the same address).
    {
        char before[] = "Ann\rhi\r";
        std::FILE* earlier = ::fmemopen(before, sizeof before - 1, "rb");
        if (!earlier) std::abort();
        (void)vebix::readChatRequest(earlier);
        std::fclose(earlier);
    }
    std::string copy(bytes);
    std::FILE* file = ::fmemopen(copy.data(), copy.size(), "rb");
    if (!file) std::abort();
    const vebix::ChatRequest request = vebix::readChatRequest(file);
    std::fclose(file);
    if (request.sender.find_first_of("\r\n") != std::string::npos ||
        request.message.find_first_of("\r\n") != std::string::npos)
        std::abort();
    if (!bytes.starts_with(request.sender)) std::abort();

    std::string message = request.message;
    const bool probe = vebix::answerProbe(message);
    if (probe != (request.message == "!#@")) std::abort();

    // As a reply, signed by the sender named in the request.
    std::string reply;
    if (vebix::LinkExchange::decideReply(bytes, request.sender, reply)) {
        if (reply.empty() || reply.find_first_of("\r\n") != std::string::npos) std::abort();
        if (!bytes.starts_with(reply)) std::abort();
    }
    return 0;
}
