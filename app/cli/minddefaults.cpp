#include "app/cli/minddefaults.h"

#include <exception>

#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"

namespace vebix::cli {

std::string defaultMindPath() {
    try {
        return chooseStartMind(MissingNamedMind::Throw, {},
                               fromQPath(systempaths::documentsFolder()))
            .mindPath;
    } catch (const std::exception&) {
        return {};
    }
}

std::string quotedPath(const std::string& path) { return "'" + path + "'"; }

}  // namespace vebix::cli
