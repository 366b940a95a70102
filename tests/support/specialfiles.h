#pragma once
// What a hostile folder may hold where a file is expected, made by the tests in their own
// temporary folders (never aimed at /dev or at system files): a symbolic link to a file, a FIFO,
// a device node (mknod, where the system permits it), a folder and a socket. A test of each is
// one instance of a test parameterised by the kind.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace vebix::testing {

enum class Special { LinkToFile, Fifo, Device, Folder, Socket };

inline const std::vector<Special>& allSpecials() {
    static const std::vector<Special> all = {Special::LinkToFile, Special::Fifo, Special::Device,
                                             Special::Folder, Special::Socket};
    return all;
}

// Each kind's name in test names, and the words the program uses for it in a reason.
struct SpecialInfo {
    Special kind;
    const char* name;
    const char* words;
};
inline constexpr SpecialInfo kSpecialInfo[] = {
    {Special::LinkToFile, "LinkToFile", "symbolic link"},
    {Special::Fifo, "Fifo", "FIFO"},
    {Special::Device, "Device", "device"},
    {Special::Folder, "Folder", "folder"},
    {Special::Socket, "Socket", "socket"},
};

inline const SpecialInfo& specialInfo(Special kind) {
    for (const SpecialInfo& info : kSpecialInfo)
        if (info.kind == kind) return info;
    return kSpecialInfo[0];
}
inline const char* specialName(Special kind) { return specialInfo(kind).name; }
// What the program says such a file is (the words of the reason it gives).
inline const char* specialWords(Special kind) { return specialInfo(kind).words; }

// Makes the kind at path; linkTarget is what a link points to. Returns empty on success, else
// why it could not be made ("mknod: Operation not permitted": a device cannot be made here).
inline std::string makeSpecial(const std::string& path, Special kind,
                               const std::string& linkTarget = {}) {
    auto failed = [](const char* what) { return std::string(what) + ": " + std::strerror(errno); };
    switch (kind) {
        case Special::LinkToFile:
            return ::symlink(linkTarget.c_str(), path.c_str()) == 0 ? "" : failed("symlink");
        case Special::Fifo:
            return ::mkfifo(path.c_str(), 0644) == 0 ? "" : failed("mkfifo");
        case Special::Device:
            // The same numbers as the null device, made here: reading it gives nothing, writing
            // it loses the bytes, so nothing outside the folder is touched whatever happens.
            return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0 ? ""
                                                                               : failed("mknod");
        case Special::Folder:
            return ::mkdir(path.c_str(), 0755) == 0 ? "" : failed("mkdir");
        case Special::Socket: {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            if (path.size() >= sizeof address.sun_path) return "socket: path too long";
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0) return failed("socket");
            const int bound =
                ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            const std::string why = bound == 0 ? "" : failed("bind");
            ::close(fd);  // the socket file stays, with nobody listening
            return why;
        }
    }
    return "unknown kind";
}

// Whether path still is what makeSpecial made (not replaced by a file, not removed).
inline bool stillSpecial(const std::string& path, Special kind) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    switch (kind) {
        case Special::LinkToFile:
            return S_ISLNK(st.st_mode);
        case Special::Fifo:
            return S_ISFIFO(st.st_mode);
        case Special::Device:
            return S_ISCHR(st.st_mode);
        case Special::Folder:
            return S_ISDIR(st.st_mode);
        case Special::Socket:
            return S_ISSOCK(st.st_mode);
    }
    return false;
}

}  // namespace vebix::testing
