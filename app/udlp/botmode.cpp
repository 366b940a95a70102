#include "app/udlp/botmode.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "engine/ai/mindline.h"
#include "engine/base/clock.h"
#include "engine/base/error.h"
#include "app/udlp/chatmsgformat.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"
#include "app/udlp/udlpinfo.h"
#include "engine/myfile/readline.h"

namespace vebix {
namespace {

QString chatMsgPath() {
    return QString::fromLatin1(chatmsg::kFileName.data(),
                               static_cast<qsizetype>(chatmsg::kFileName.size()));
}

}  // namespace

ChatRequest readChatRequest(std::FILE* file) {
    ChatRequest request;
    if (!readLine(request.sender, file)) request.sender.clear();
    if (!readLine(request.message, file)) request.message.clear();
    return request;
}

bool answerProbe(std::string& message) {
    if (message != chatmsg::kProbe) return false;
    message = std::string(chatmsg::kProbeAnswer);
    return true;
}

bool chatMsgPresent() { return QFileInfo::exists(chatMsgPath()); }

int endWithFatalError(const std::string& message, bool showBox, const FatalBox& box) {
    std::cerr << chatmsg::kFatalCaption << ": " << message << std::endl;
    // Deleted before the box is shown: the link program sees no reply either way, and a box that
    // cannot be shown (a display that has gone away ends the process) leaves no request behind.
    QFile::remove(chatMsgPath());
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
        }

        const StartupChoice start = chooseStartMind(MissingNamedMind::Throw, mindFile,
                                                    fromQPath(systempaths::documentsFolder()));

        // Bot mode answers for a mind that a window may hold open: it appends its exchange
        // under the mind's write lock and holds nothing.
        MindKeeper keeper(learn ? MindKeeper::Use::Append : MindKeeper::Use::Read);
        keeper.loadMind(start.mindPath);

        ChatRequest request;
        if (std::FILE* file = std::fopen(std::string(chatmsg::kFileName).c_str(), "rb")) {
            request = readChatRequest(file);
            std::fclose(file);
        }
        if (request.message.empty() || request.sender.empty())
            throw Error(std::string(chatmsg::kBadRequestMessage));

        const std::string senderId = speakerId(request.sender, request.sender);
        const std::uint32_t now = clock().nowSeconds();
        const std::string stamp = std::to_string(now);

        std::string reply = request.message;
        if (!answerProbe(reply)) {
            reply.clear();
            for (int i = 0; i < chatmsg::kReplyAttempts && reply.empty(); ++i)
                reply = keeper.bot()->reply(request.sender, senderId, request.message, now);
            std::string learned = reply;
            if (reply.empty()) {
                reply = std::string(chatmsg::kNoReplyAnswer);
                learned = std::string(chatmsg::kNoReplyLearned);
            }
            if (learn) {
                keeper.bot()->addLine(senderId, stamp, senderId, request.message);
                keeper.bot()->addAiLine(senderId, stamp, learned);
                keeper.saveLearned();
            }
        }

        writeWholeFile(chatMsgPath(), reply + std::string(chatmsg::kLineEnd),
                       "Unable to write the reply to " + std::string(chatmsg::kFileName));
        return 0;
    } catch (const std::exception& e) {
        return endWithFatalError(e.what(), showErrors, showFatalBox);
    } catch (...) {
        return endWithFatalError("Unknown error", showErrors, showFatalBox);
    }
}

}  // namespace vebix
