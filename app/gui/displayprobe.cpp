#include "app/gui/displayprobe.h"

#include <QGuiApplication>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace vebix {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The value of a Qt option given as "-name value" or "--name value".
std::string option(int argc, char** argv, std::string_view name) {
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.starts_with("--")) arg.remove_prefix(1);
        if (arg.size() == name.size() + 1 && arg.front() == '-' && arg.substr(1) == name)
            return argv[i + 1];
    }
    return {};
}

bool drawsIntoMemory(std::string_view platform) {
    return platform == "offscreen" || platform == "minimal" || platform == "minimalegl";
}

// The X library is loaded at run time, so that the program itself does not depend on it; Qt's
// own X11 support loads the same library.
bool x11Opens(const std::string& display) {
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* lib = ::dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return false;
    auto connect = reinterpret_cast<Connect>(::dlsym(lib, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(::dlsym(lib, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(::dlsym(lib, "xcb_disconnect"));
    bool opens = false;
    if (connect && hasError && disconnect) {
        // A failed connection is an object too, and must be freed by xcb_disconnect.
        void* connection = connect(display.empty() ? nullptr : display.c_str(), nullptr);
        if (connection) {
            opens = hasError(connection) == 0;
            disconnect(connection);
        }
    }
    ::dlclose(lib);
    return opens;
}

bool waylandOpens() {
    if (!env("WAYLAND_SOCKET").empty()) return true;  // a connection handed over already
    std::string name = env("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    std::string path = name;
    if (name.front() != '/') {
        const std::string runtime = env("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool opens =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return opens;
}

}  // namespace

DisplayProbe probeDisplay(int argc, char** argv) {
    std::string platforms = option(argc, argv, "platform");
    if (platforms.empty()) platforms = env("QT_QPA_PLATFORM");
    if (platforms.empty()) platforms = env("WAYLAND_DISPLAY").empty() ? "xcb" : "xcb;wayland";

    DisplayProbe probe;
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view entry = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::string_view platform = entry.substr(0, entry.find(':'));
        if (platform.empty()) continue;

        std::string missing;
        if (platform == "xcb") {
            std::string display = option(argc, argv, "display");
            if (display.empty()) display = env("DISPLAY");
            if (display.empty()) {
                missing = "DISPLAY is not set";
            } else if (x11Opens(display)) {
                probe.interactive = true;
            } else {
                missing = "the X display \"" + display + "\" cannot be opened";
            }
        } else if (platform.starts_with("wayland")) {
            if (waylandOpens())
                probe.interactive = true;
            else
                missing = "no Wayland display can be reached";
        } else if (drawsIntoMemory(platform)) {
            missing = "the platform \"" + std::string(platform) + "\" shows windows to nobody";
        } else {
            probe.interactive = true;
        }
        if (probe.interactive) {
            probe.missing.clear();
            return probe;
        }
        if (!probe.missing.empty()) probe.missing += " and ";
        probe.missing += missing;
    }
    if (probe.missing.empty()) probe.missing = "no display platform is named";
    return probe;
}

bool runningPlatformIsInteractive() {
    return qGuiApp && !drawsIntoMemory(QGuiApplication::platformName().toStdString());
}

}  // namespace vebix
