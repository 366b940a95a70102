#pragma once
// What the benchmarks share: the repository's conversation corpus, the minds they measure on
// (made with the project's own generator, tools/vebix-make-mind, and remade when it or the
// corpus changes), other programs started and timed, and scratch folders. Everything comes
// from this checkout and its build: nothing outside them is needed.
//
// VEBIX_BENCH_MINDS names the folder the minds are kept in between runs (default
// /tmp/vebix-bench-minds): a 10,000,000-line mind is about 700 MB and takes a while to make.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

extern char** environ;

namespace vebix::bench {

namespace fs = std::filesystem;

// The conversation corpus of the repository (tests/data/corpus).
inline std::string corpusFile() { return VEBIX_SOURCE_DIR "/tests/data/corpus/chatterbot_en.txt"; }

// The first count non-empty lines of the corpus, in order.
inline std::vector<std::string> corpusLines(std::size_t count) {
    std::vector<std::string> out;
    std::ifstream in(corpusFile());
    std::string line;
    while (out.size() < count && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    if (out.empty()) {
        std::cerr << "cannot read the corpus " << corpusFile() << "\n";
        std::exit(2);
    }
    return out;
}

// A program of this build: the benchmark lives in <build>/bench.
inline fs::path buildFolder() {
    return fs::canonical("/proc/self/exe").parent_path().parent_path();
}

struct ChildResult {
    double wall = 0;  // seconds
    long peakKb = 0;  // the child's peak resident memory (wait4's ru_maxrss)
    int status = 0;
};

// Runs argv (no shell) in folder, standard output to outFile (default /dev/null) and standard
// error to /dev/null; its wall time and peak memory. Each of setEnv ("NAME=value") replaces the
// variable of that name; with a folder, HOME and XDG_CONFIG_HOME point into it, so that the
// program never reads or writes the user's own settings.
//
// The child's peak memory as the system reports it starts from this process's own (the child
// shares its memory until it starts the program): whoever measures memory keeps this process
// small.
inline ChildResult run(const std::vector<std::string>& argv, const std::string& folder = {},
                       const std::vector<std::string>& setEnv = {},
                       const std::string& outFile = "/dev/null") {
    auto nameOf = [](std::string_view v) { return v.substr(0, v.find('=') + 1); };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view v = *e;
        if (!folder.empty() && (v.starts_with("HOME=") || v.starts_with("XDG_CONFIG_HOME=")))
            continue;
        if (std::any_of(setEnv.begin(), setEnv.end(),
                        [&](const std::string& s) { return nameOf(s) == nameOf(v); }))
            continue;
        env.emplace_back(v);
    }
    env.insert(env.end(), setEnv.begin(), setEnv.end());
    if (!folder.empty()) {
        env.push_back("HOME=" + folder);
        env.push_back("XDG_CONFIG_HOME=" + folder);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    ChildResult r;
    pid_t pid = 0;
    const auto t0 = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        std::cerr << "cannot start " << argv[0] << "\n";
        std::exit(2);
    }
    struct rusage usage {};
    while (wait4(pid, &r.status, 0, &usage) < 0 && errno == EINTR) {
    }
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakKb = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

inline bool exitedWith(const ChildResult& r, int code) {
    return WIFEXITED(r.status) && WEXITSTATUS(r.status) == code;
}

// The folders the spawned runs work in, one set per process: two benchmarks running at once
// (from two checkouts) must not overwrite each other's files. Removed at exit.
inline fs::path scratchFolder(const std::string& name) {
    struct Scratch {
        fs::path root = fs::temp_directory_path() / ("vebix-bench-" + std::to_string(::getpid()));
        ~Scratch() {
            std::error_code ignored;
            fs::remove_all(root, ignored);
        }
    };
    static const Scratch scratch;
    const fs::path dir = scratch.root / name;
    fs::create_directories(dir);
    return dir;
}

inline fs::path mindsFolder() {
    const char* dir = std::getenv("VEBIX_BENCH_MINDS");
    return dir && *dir ? fs::path(dir) : fs::path("/tmp/vebix-bench-minds");
}

// The mind of lines lines made from the corpus (seed 1), made when it is missing or older than
// the generator or the corpus. plain: an AI data file (only the lines) instead of a mind file.
inline std::string generatedMind(std::size_t lines, bool plain = false) {
    const fs::path maker = buildFolder() / "tools" / "vebix-make-mind";
    const fs::path path =
        mindsFolder() / ("mind_" + std::to_string(lines) + (plain ? ".dat" : ".mdd"));
    std::error_code ec;
    const bool fresh = fs::exists(path, ec) &&
                       fs::last_write_time(path, ec) >= fs::last_write_time(maker, ec) &&
                       fs::last_write_time(path, ec) >= fs::last_write_time(corpusFile(), ec);
    if (fresh) return path.string();
    fs::create_directories(mindsFolder());
    std::cerr << "making " << path.string() << " ...\n";
    const std::string part = path.string() + ".part";
    std::vector<std::string> argv = {maker.string(), "--lines", std::to_string(lines),
                                     "--seed",       "1",       "--corpus",
                                     corpusFile(),   "--out",   part};
    if (plain) argv.push_back("--plain");
    if (!exitedWith(run(argv), 0)) {
        std::cerr << "cannot make " << path.string() << " with " << maker.string() << "\n";
        std::exit(2);
    }
    fs::rename(part, path);
    return path.string();
}

// Writes a file out to disk, so that what a measured program syncs is its own writing.
inline void syncFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        std::cerr << "cannot write out " << path << "\n";
        std::exit(2);
    }
    ::close(fd);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace vebix::bench
