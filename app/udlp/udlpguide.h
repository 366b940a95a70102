#pragma once
// The page that explains UDLP to a user (docs/udlp.md, shipped with the program): what UDLP is,
// how a link program starts a bot, where Vebix keeps a bot's files and how to link two bots.

#include <QString>
#include <QUrl>

namespace vebix {

// The installed page when it is a file, else the page in the source tree (a copy of the
// program run from its build tree), which is returned even when missing: opening it then fails
// and says so.
QString chooseUdlpGuide(const QString& installedPage, const QString& sourcePage);

// chooseUdlpGuide on the places this build knows, as a file:// URL.
QUrl udlpGuideUrl();

}  // namespace vebix
