#include "app/irc/botlog.h"

#include <QDateTime>

#include <ostream>

#include "app/irc/roomtext.h"
#include "engine/base/clock.h"

namespace vebix::irc {

void BotLog::line(std::string_view text) {
    const QString stamp = QDateTime::fromSecsSinceEpoch(clock().nowSeconds())
                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    out_ << stamp.toStdString() << " vebix irc: " << escapeForLog(text) << std::endl;
}

}  // namespace vebix::irc
