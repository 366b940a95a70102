#include "app/udlp/botmode.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "engine/ai/mindline.h"
#include "engine/base/clock.h"
#include "engine/base/error.h"
#include "app/udlp/chatmsgformat.h"
#include "app/platform/filewrite.h"
#include "app/platform/safefile.h"
#include "app/platform/systempaths.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"
#include "app/udlp/udlpinfo.h"
#include "engine/myfile/readline.h"

namespace vebix {
namespace {

// CHAT.MSG in the working folder, as the messages name it.
std::string chatMsgPath() {
    const std::string name(chatmsg::kFileName);
    const QString folder = QDir::currentPath();
    return folder.isEmpty() ? name : fromQPath(QDir(folder).filePath(toQPath(name)));
}

void writeReply(const std::string& path, const std::string& reply) {
    writeFileWhole(
        path, Place::BotFolder,
        [&](const ByteSink& sink) {
            sink(reply);
            sink(chatmsg::kLineEnd);
        },
        "Unable to write the reply to " + std::string(chatmsg::kFileName));
}

}  // namespace

ChatRequest readChatRequest(std::FILE* file) {
    ChatRequest request;
    BoundedLineReader reader(file, kMaxLineBytes, kMaxReadBytes);
    if (!reader.next(request.sender)) request.sender.clear();
    if (!reader.next(request.message)) request.message.clear();
    request.cut = reader.anyCut();
    return request;
}

ChatRequest readChatRequestFile(const std::string& path) {
    const FilePtr file = openRegularStream(
        path, Place::BotFolder, std::string(chatmsg::kBadRequestMessage) + ": '" + path + "'");
    return file ? readChatRequest(file.get()) : ChatRequest{};
}

bool answerProbe(std::string& message) {
    if (message != chatmsg::kProbe) return false;
    message = std::string(chatmsg::kProbeAnswer);
    return true;
}

bool chatMsgPresent() {
    struct stat st {};
    return ::lstat(std::string(chatmsg::kFileName).c_str(), &st) == 0;
}

int endWithFatalError(const std::string& message, bool showBox, const FatalBox& box) {
    std::cerr << chatmsg::kFatalCaption << ": " << message << std::endl;
    // Deleted before the box is shown: the link program sees no reply either way, and a box that
    // cannot be shown (a display that has gone away ends the process) leaves no request behind.
    // Only the name goes: a link there is removed, never what it points to.
    ::unlink(std::string(chatmsg::kFileName).c_str());
    if (showBox && box) {
        try {
            box(message);
        } catch (...) {
            // The message is on standard error already; nothing more can be done.
        }
    }
    return 1;
}

int runBotMode(const std::string& namedPath, const std::string& programPath,
               const FatalBox& showFatalBox) {
    bool showErrors = true;
    try {
        bool learn = false;
        std::string mindFile = namedPath;
        UdlpInfo info;
        if (findUdlpInfo(info, programPath)) {
            showErrors = info.showErrors;
            learn = info.learn;
            if (!info.mind.empty()) {
                if (!namedPath.empty()) throw Error(std::string(chatmsg::kTwoMindsMessage));
                mindFile = info.mind;
            }
            if (info.cut)
                std::cerr << "vebix: " << info.infoPath << ": a line longer than "
                          << (kMaxLineBytes >> 20) << " MiB was cut" << std::endl;
        }

        // The request first: one that is refused costs no mind loaded.
        const std::string chatPath = chatMsgPath();
        const ChatRequest request = readChatRequestFile(chatPath);
        if (request.message.empty() || request.sender.empty())
            throw Error(std::string(chatmsg::kBadRequestMessage));
        if (request.cut)
            std::cerr << "vebix: " << chatPath << ": a line longer than " << (kMaxLineBytes >> 20)
                      << " MiB was cut there" << std::endl;

        // The probe is answered with a fixed text; no mind is needed for it.
        std::string reply = request.message;
        if (answerProbe(reply)) {
            writeReply(chatPath, reply);
            return 0;
        }

        const StartupChoice start = chooseStartMind(MissingNamedMind::Throw, mindFile,
                                                    fromQPath(systempaths::documentsFolder()));
        // Bot mode answers for a mind that a window may hold open: it appends its exchange
        // under the mind's write lock and holds nothing.
        MindKeeper keeper(learn ? MindKeeper::Use::Append : MindKeeper::Use::Read);
        keeper.loadMind(start.mindPath);

        const std::string senderId = speakerId(request.sender, request.sender);
        const std::uint32_t now = clock().nowSeconds();
        const std::string stamp = std::to_string(now);

        reply.clear();
        for (int i = 0; i < chatmsg::kReplyAttempts && reply.empty(); ++i)
            reply = keeper.bot()->reply(request.sender, senderId, request.message, now);
        std::string learned = reply;
        if (reply.empty()) {
            reply = std::string(chatmsg::kNoReplyAnswer);
            learned = std::string(chatmsg::kNoReplyLearned);
        }
        if (!learn) {
            writeReply(chatPath, reply);
            return 0;
        }
        // The reply is ready on disk before the save and takes the request's place after it:
        // a failed save leaves no reply, and a run killed between the two leaves the request.
        PreparedFile prepared(
            chatPath, Place::BotFolder,
            [&](const ByteSink& sink) {
                sink(reply);
                sink(chatmsg::kLineEnd);
            },
            "Unable to write the reply to " + std::string(chatmsg::kFileName));
        keeper.bot()->addLine(senderId, stamp, senderId, request.message);
        keeper.bot()->addAiLine(senderId, stamp, learned);
        keeper.saveLearned();
        prepared.putInPlace();
        return 0;
    } catch (const std::exception& e) {
        return endWithFatalError(e.what(), showErrors, showFatalBox);
    } catch (...) {
        return endWithFatalError("Unknown error", showErrors, showFatalBox);
    }
}

}  // namespace vebix
