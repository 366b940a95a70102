// The speed targets of replies on big minds, each as a ratio measured in one run on the same
// machine, so that it holds on a noisy machine. Every figure is the median of several runs.
//
//   steady   one reply on a loaded mind (one after another, as in the window), against
//            `cat MIND > /dev/null`                                          target <= 3
//   cold     the program in bot mode, end to end (CHAT.MSG, load, reply, learn, save, exit),
//            against `LC_ALL=C wc -w MIND`                                   target <= 1
//   growth   time per mind line at 1,000,000 lines against 100,000          target <= 1.3
//            a 64 KB message against a 32 KB message on the same mind       target <= 2.5
//   memory   peak resident memory of the cold run against the mind's size   target <= 2.5
//
// Minds (with the header, as the program keeps them):
//   mkdir -p /tmp/vebix-bench
//   for n in 100000 1000000; do
//     python3 ../shared/bench/make_mind.py --lines $n --seed 1 --out /tmp/vebix-bench/mind_$n.mdd
//   done
//   build-perf/bench/targets_bench [steady|cold|growth|memory|all] [runs]
// VEBIX_BENCH_MINDS names the folder (default /tmp/vebix-bench); VEBIX_EXE the program (default:
// the one built beside this benchmark).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/base/random.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string mindPath(int lines) {
    const char* dir = std::getenv("VEBIX_BENCH_MINDS");
    return std::string(dir && *dir ? dir : "/tmp/vebix-bench") + "/mind_" + std::to_string(lines) +
           ".mdd";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double seconds(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct ChildResult {
    double wall = 0;
    long peakKb = 0;
    int status = 0;
};

// Runs argv in folder (no shell), its output to /dev/null; wall time and peak memory. Each of
// setEnv ("NAME=value") replaces the variable of that name.
ChildResult run(const std::vector<std::string>& argv, const std::string& folder = {},
                const std::vector<std::string>& setEnv = {}) {
    auto isSet = [&](std::string_view v) {
        return std::any_of(setEnv.begin(), setEnv.end(), [&](const std::string& s) {
            return v.substr(0, v.find('=') + 1) == s.substr(0, s.find('=') + 1);
        });
    };
    // The program's settings go to the folder it runs in, never to the user's own.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view v = *e;
        if (!folder.empty() && (v.starts_with("HOME=") || v.starts_with("XDG_CONFIG_HOME=")))
            continue;
        if (isSet(v)) continue;
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
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    ChildResult r;
    pid_t pid = 0;
    const auto t0 = Clock::now();
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
        std::cerr << "cannot start " << argv[0] << "\n";
        std::exit(2);
    }
    struct rusage usage {};
    wait4(pid, &r.status, 0, &usage);
    r.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    r.peakKb = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    return r;
}

double catTime(const std::string& mind) { return run({"/bin/cat", mind}).wall; }
// Pinned to the C locale: counting words then needs no decoding of characters, the fastest
// (and so the strictest) yardstick whatever the user's locale.
double wcTime(const std::string& mind) {
    return run({"/usr/bin/wc", "-w", mind}, {}, {"LC_ALL=C"}).wall;
}

const std::vector<std::string>& inputs() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        std::ifstream in(VEBIX_SHARED_DIR "/corpus/chatterbot_en.txt");
        std::string line;
        while (out.size() < 200 && std::getline(in, line))
            if (!line.empty()) out.push_back(line);
        if (out.empty()) out.push_back("How are you doing today?");
        return out;
    }();
    return lines;
}

// A message of about bytes bytes made of corpus lines.
std::string longMessage(std::size_t bytes) {
    std::ifstream in(VEBIX_SHARED_DIR "/corpus/self_dialogue.txt");
    std::string out, line;
    while (out.size() < bytes && std::getline(in, line))
        if (!line.empty()) out += line + " ";
    out.resize(std::min(out.size(), bytes));
    return out;
}

std::unique_ptr<vebix::Ai> loadMind(int lines) {
    const std::string path = mindPath(lines);
    if (!fs::exists(path)) {
        std::cerr << "no mind at " << path << " (see the head of " << __FILE__ << ")\n";
        std::exit(2);
    }
    auto ai = std::make_unique<vebix::Ai>();
    ai->setName("Benchbot");
    ai->loadFile(path);
    ai->calcFillWords();
    return ai;
}

std::uint32_t replyTime(const vebix::Ai& ai) {
    auto t = vebix::parseTime(vebix::parseLine(ai.lines().back(), vebix::AiSuffix::Keep).time);
    return t ? *t + 60 : 0;
}

// Median time of one reply, after warm-up replies that fill what the engine keeps per line.
double replyTimeOn(vebix::Ai& ai, int runs, const std::vector<std::string>& messages, int warmup) {
    const std::uint32_t now = replyTime(ai);
    std::size_t next = 0;
    for (int i = 0; i < warmup; ++i)
        ai.reply("Guest!t", {}, "Guest!t", messages[next++ % messages.size()], now);
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const std::string& m = messages[next++ % messages.size()];
        t.push_back(seconds([&] { ai.reply("Guest!t", {}, "Guest!t", m, now); }));
    }
    return median(t);
}

void steady(int runs) {
    vebix::rng::seed(1);
    auto ai = loadMind(1000000);
    const std::string mind = mindPath(1000000);
    std::vector<double> replies, cats, ratios;
    const std::uint32_t now = replyTime(*ai);
    // Warm up: the first replies work out the per-line facts the later ones reuse.
    for (int i = 0; i < 40; ++i)
        ai->reply("Guest!t", {}, "Guest!t", inputs()[i % inputs().size()], now);
    for (int i = 0; i < runs; ++i) {
        const std::string& m = inputs()[(40 + i) % inputs().size()];
        const double r = seconds([&] { ai->reply("Guest!t", {}, "Guest!t", m, now); });
        const double c = catTime(mind);
        replies.push_back(r);
        cats.push_back(c);
        ratios.push_back(r / c);
    }
    std::printf("steady  1,000,000 lines: reply %.1f ms, cat %.1f ms, ratio %.2f (target <= 3)\n",
                median(replies) * 1e3, median(cats) * 1e3, median(ratios));
}

fs::path botFolder() {
    const fs::path dir = fs::temp_directory_path() / "vebix-bench-bot";
    fs::create_directories(dir);
    return dir;
}

std::string exePath() {
    const char* exe = std::getenv("VEBIX_EXE");
    if (exe && *exe) return exe;
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "app" / "vebix").string();
}

// One bot-mode run on a fresh copy of the mind, learning on.
ChildResult coldRun(const std::string& mind, int message) {
    const fs::path dir = botFolder();
    const fs::path copy = dir / "mind.mdd";
    fs::copy_file(mind, copy, fs::copy_options::overwrite_existing);
    {
        std::ofstream nfo(dir / "UDLPX.NFO", std::ios::binary);
        nfo << "2\r\n0\r\nvebix\r\nBenchbot\r\nmind=" << copy.string()
            << "\r\nshowerrors=false\r\nlearn=true\r\n";
        std::ofstream msg(dir / "CHAT.MSG", std::ios::binary);
        msg << "Benchfriend\r\n" << inputs()[message % inputs().size()] << "\r\n";
    }
    // Copying the file leaves it in the page cache, as cat and wc find theirs.
    ChildResult r = run({exePath()}, dir.string());
    if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
        std::cerr << "bot mode failed (status " << r.status << ")\n";
        std::exit(2);
    }
    return r;
}

void cold(int runs, bool printMemory) {
    const std::string mind = mindPath(1000000);
    if (!fs::exists(mind)) {
        std::cerr << "no mind at " << mind << "\n";
        std::exit(2);
    }
    std::vector<double> bots, wcs, ratios, peaks;
    coldRun(mind, 0);  // warm-up
    for (int i = 0; i < runs; ++i) {
        const ChildResult r = coldRun(mind, i + 1);
        const double w = wcTime(mind);
        bots.push_back(r.wall);
        wcs.push_back(w);
        ratios.push_back(r.wall / w);
        peaks.push_back(static_cast<double>(r.peakKb) * 1024.0);
    }
    const double size = static_cast<double>(fs::file_size(mind));
    std::printf(
        "cold    1,000,000 lines: bot mode %.0f ms, wc -w %.0f ms, ratio %.2f (target <= 1)\n",
        median(bots) * 1e3, median(wcs) * 1e3, median(ratios));
    if (printMemory)
        std::printf(
            "memory  1,000,000 lines: peak %.0f MB, mind %.0f MB, ratio %.2f (target <= 2.5)\n",
            median(peaks) / 1e6, size / 1e6, median(peaks) / size);
}

void growth(int runs) {
    vebix::rng::seed(1);
    auto small = loadMind(100000);
    auto big = loadMind(1000000);
    const double tSmall = replyTimeOn(*small, runs, inputs(), 40);
    const double tBig = replyTimeOn(*big, runs, inputs(), 40);
    const double perSmall = tSmall / 100000, perBig = tBig / 1000000;
    std::printf(
        "growth  per line: %.1f ns at 100,000 lines (reply %.1f ms), %.1f ns at 1,000,000 "
        "(reply %.1f ms), ratio %.2f (target <= 1.3)\n",
        perSmall * 1e9, tSmall * 1e3, perBig * 1e9, tBig * 1e3, perBig / perSmall);
    const std::vector<std::string> m32 = {longMessage(32 * 1024)};
    const std::vector<std::string> m64 = {longMessage(64 * 1024)};
    std::vector<double> t32, t64, ratios;
    const int longRuns = std::max(3, runs / 3);
    for (int i = 0; i < longRuns; ++i) {
        const double a = replyTimeOn(*small, 1, m32, 0);
        const double b = replyTimeOn(*small, 1, m64, 0);
        t32.push_back(a);
        t64.push_back(b);
        ratios.push_back(b / a);
    }
    std::printf(
        "growth  input on 100,000 lines: 32 KB %.0f ms, 64 KB %.0f ms, ratio %.2f (target <= 2.5)\n",
        median(t32) * 1e3, median(t64) * 1e3, median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    // The bot-mode runs come first: a spawned child's peak memory as the system reports it
    // starts from this process's own, which must still be small then.
    if (what == "cold" || what == "memory" || what == "all") cold(runs, true);
    if (what == "steady" || what == "all") steady(runs);
    if (what == "growth" || what == "all") growth(runs);
    return 0;
}
