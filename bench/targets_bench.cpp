// The speed targets of replies on big minds, each as a ratio measured in one run on the same
// machine, so that it holds on a noisy machine. Every figure is the median of several runs.
//
//   cold     the program in bot mode on 1,000,000 lines, end to end (CHAT.MSG, load, reply,
//            learn, save, exit), against `LC_ALL=C wc -w MIND`             target <= 0.5
//   memory   peak resident memory of that run against the mind's size      target <= 1.3
//   window   the first reply after loading 1,000,000 lines (load not counted) against a
//            steady reply on the same mind                                  target <= 2
//            (the window prepares a loaded mind's replies in the background; this takes
//            the first reply once that is done, as a person typing a first line sees it)
//   steady   one reply on 1,000,000 loaded and prepared lines (one after another, as in
//            the window), against `cat MIND > /dev/null`                    target <= 1.5
//   big      the cold run on 10,000,000 lines against the one on 1,000,000  target <= 12
//            its peak resident memory against its mind's size              target <= 1.3
//   learn    `vebix learn NEWMIND learn.txt` into a mind that does not exist yet (learn.txt:
//            about 19 MB of the corpus's lines over and over, made in a scratch folder),
//            against `LC_ALL=C wc -w` of the same file                      target <= 2
//   growth   time per mind line at 1,000,000 lines against 100,000          target <= 1.3
//            a 64 KB message against a 32 KB message on the same mind       target <= 2.5
//
// Minds (with the header, as the program keeps them):
//   mkdir -p /tmp/vebix-bench
//   for n in 100000 1000000 10000000; do
//     build-perf/tools/vebix-make-mind --lines $n --seed 1
//         --corpus tests/data/corpus/chatterbot_en.txt --out /tmp/vebix-bench/mind_$n.mdd
//   (one command line each)
//   done
//   build-perf/bench/targets_bench [cold|memory|window|steady|big|learn|growth|all] [runs]
// The 10,000,000-line mind (about 800 MB) is optional: without it "big" says how to make it and
// the other figures are still taken. "cold" and "memory" take only the 1,000,000-line runs; "big"
// and "all" interleave them with the 10,000,000-line ones, fewer of those as each takes long.
// VEBIX_BENCH_MINDS names the folder (default /tmp/vebix-bench); VEBIX_EXE the program (default:
// the one built beside this benchmark). The messages and the learned text come from the
// conversation corpus of the tests (tests/data/corpus).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/base/memorypolicy.h"
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

// The corpus file name, or exit when it is missing: measuring on a made-up message instead
// would give figures that look right and are not.
std::string corpusFile(const char* name) {
    const std::string path = std::string(VEBIX_CORPUS_DIR "/") + name;
    if (!fs::exists(path)) {
        std::cerr << "no corpus at " << path << "\n";
        std::exit(2);
    }
    return path;
}

const std::vector<std::string>& inputs() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        std::ifstream in(corpusFile("chatterbot_en.txt"));
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
    std::string out;
    while (out.size() < bytes)
        for (const std::string& line : inputs()) out += line + " ";
    out.resize(bytes);
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
        ai.reply("Guest!t", "Guest!t", messages[next++ % messages.size()], now);
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const std::string& m = messages[next++ % messages.size()];
        t.push_back(seconds([&] { ai.reply("Guest!t", "Guest!t", m, now); }));
    }
    return median(t);
}

void steady(int runs) {
    vebix::rng::seed(1);
    auto ai = loadMind(1000000);
    const std::atomic<bool> stop{false};
    ai->prepareReplies(stop);  // as the window does after loading
    const std::string mind = mindPath(1000000);
    std::vector<double> replies, cats, ratios;
    const std::uint32_t now = replyTime(*ai);
    // Warm up: the first replies work out the per-line facts the later ones reuse.
    for (int i = 0; i < 40; ++i)
        ai->reply("Guest!t", "Guest!t", inputs()[i % inputs().size()], now);
    for (int i = 0; i < runs; ++i) {
        const std::string& m = inputs()[(40 + i) % inputs().size()];
        const double r = seconds([&] { ai->reply("Guest!t", "Guest!t", m, now); });
        const double c = catTime(mind);
        replies.push_back(r);
        cats.push_back(c);
        ratios.push_back(r / c);
    }
    std::printf("steady  1,000,000 lines: reply %.1f ms, cat %.1f ms, ratio %.2f (target <= 1.5)\n",
                median(replies) * 1e3, median(cats) * 1e3, median(ratios));
}

// The folders the spawned runs work in, one set per process: two benchmarks running at once
// (from two checkouts) must not overwrite each other's copy of a mind. Removed at exit.
fs::path scratchFolder(const char* name) {
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

fs::path botFolder() { return scratchFolder("bot"); }

std::string exePath() {
    const char* exe = std::getenv("VEBIX_EXE");
    if (exe && *exe) return exe;
    return (fs::canonical("/proc/self/exe").parent_path().parent_path() / "app" / "vebix").string();
}

// One bot-mode run on a fresh copy of the mind, learning on.
void syncFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        std::cerr << "cannot write out " << path << "\n";
        std::exit(2);
    }
    ::close(fd);
}

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
    // Copying the file leaves it in the page cache, as cat and wc find theirs. It is written
    // out before the run, as a mind kept on disk is: else the program's own sync after it
    // learns would be writing out the benchmark's copy.
    syncFile(copy);
    ChildResult r = run({exePath()}, dir.string());
    if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
        std::cerr << "bot mode failed (status " << r.status << ")\n";
        std::exit(2);
    }
    return r;
}

// The command that makes the mind of lines lines, as the head of this file gives it.
std::string makeMindCommand(int lines) {
    return std::string(VEBIX_MAKE_MIND) + " --lines " + std::to_string(lines) +
           " --seed 1 --corpus " VEBIX_CORPUS_DIR "/chatterbot_en.txt --out " + mindPath(lines);
}

// The cold runs on 1,000,000 lines and, with withBig, on 10,000,000 lines. Each big run is
// taken in the same pass as a run on the smaller mind, so that their ratio sees one machine
// state; there are fewer of them, spread over the passes, as each takes about ten times as long.
void cold(int runs, bool withBig) {
    const std::string mind = mindPath(1000000);
    if (!fs::exists(mind)) {
        std::cerr << "no mind at " << mind << " (make it with: " << makeMindCommand(1000000)
                  << ")\n";
        std::exit(2);
    }
    const std::string bigMind = mindPath(10000000);
    const bool big = withBig && fs::exists(bigMind);
    const int bigRuns = big ? std::max(3, runs / 3) : 0;
    const int passes = std::max(runs, bigRuns);
    std::vector<double> bots, wcs, ratios, peaks, bigBots, bigRatios, bigPeaks;
    coldRun(mind, 0);  // warm-up
    for (int i = 0; i < passes; ++i) {
        const ChildResult r = coldRun(mind, i + 1);
        const double w = wcTime(mind);
        bots.push_back(r.wall);
        wcs.push_back(w);
        ratios.push_back(r.wall / w);
        peaks.push_back(static_cast<double>(r.peakKb) * 1024.0);
        // Pass i holds a big run when it moves the share i * bigRuns / passes to the next
        // whole number, which spreads bigRuns runs evenly over the passes.
        if ((i + 1) * bigRuns / passes > i * bigRuns / passes) {
            const ChildResult b = coldRun(bigMind, i + 1);
            bigBots.push_back(b.wall);
            bigRatios.push_back(b.wall / r.wall);
            bigPeaks.push_back(static_cast<double>(b.peakKb) * 1024.0);
        }
    }
    // The copy of the big mind would otherwise keep 800 MB of the temporary folder.
    fs::remove(botFolder() / "mind.mdd");
    const double size = static_cast<double>(fs::file_size(mind));
    std::printf(
        "cold    1,000,000 lines: bot mode %.0f ms, wc -w %.0f ms, ratio %.2f (target <= 0.5)\n",
        median(bots) * 1e3, median(wcs) * 1e3, median(ratios));
    std::printf("memory  1,000,000 lines: peak %.0f MB, mind %.0f MB, ratio %.2f (target <= 1.3)\n",
                median(peaks) / 1e6, size / 1e6, median(peaks) / size);
    if (!withBig) return;
    if (!big) {
        std::printf("big     10,000,000 lines: no mind at %s; make it with: %s\n", bigMind.c_str(),
                    makeMindCommand(10000000).c_str());
        return;
    }
    const double bigSize = static_cast<double>(fs::file_size(bigMind));
    std::printf(
        "big     10,000,000 lines: bot mode %.0f ms against %.0f ms on 1,000,000, ratio %.2f "
        "(target <= 12)\n",
        median(bigBots) * 1e3, median(bots) * 1e3, median(bigRatios));
    std::printf(
        "big     10,000,000 lines: peak %.0f MB, mind %.0f MB, ratio %.2f (target <= 1.3)\n",
        median(bigPeaks) / 1e6, bigSize / 1e6, median(bigPeaks) / bigSize);
}

// `vebix learn` of a corpus file into a mind that does not exist yet, against counting the
// words of the same file.
void learn(int runs) {
    const fs::path dir = scratchFolder("learn");
    // About 19 MB of conversation: the corpus's lines over and over, in the scratch folder.
    const std::string corpus = (dir / "learn.txt").string();
    {
        std::ifstream in(corpusFile("chatterbot_en.txt"), std::ios::binary);
        const std::string once((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        std::ofstream out(corpus, std::ios::binary);
        for (std::size_t written = 0; written < (19u << 20) && !once.empty();
             written += once.size())
            out << once;
    }
    const fs::path mind = dir / "learned.mdd";
    auto learnOnce = [&] {
        // A new mind each time: the figure is the import, not an append to a grown mind.
        fs::remove(mind);
        ChildResult r = run({exePath(), "learn", mind.string(), corpus}, dir.string());
        if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) {
            std::cerr << "vebix learn failed (status " << r.status << ")\n";
            std::exit(2);
        }
        return r.wall;
    };
    std::vector<double> learns, wcs, ratios;
    learnOnce();  // warm-up
    for (int i = 0; i < runs; ++i) {
        const double l = learnOnce();
        const double w = wcTime(corpus);
        learns.push_back(l);
        wcs.push_back(w);
        ratios.push_back(l / w);
    }
    const double size = static_cast<double>(fs::file_size(corpus));
    fs::remove_all(dir);
    std::printf(
        "learn   %.0f MB of text into a new mind: learn %.0f ms, wc -w %.0f ms, ratio %.2f "
        "(target <= 2)\n",
        size / 1e6, median(learns) * 1e3, median(wcs) * 1e3, median(ratios));
}

// The first reply on a freshly loaded mind against the steady replies that follow it. Every
// load seeds the generator alike and gets messages of its own, so that each pass is the same
// experiment on another input; loading is not counted.
void window(int runs) {
    const std::vector<std::string>& in = inputs();
    constexpr int kWarmup = 40;
    std::vector<double> firsts, steadies, ratios;
    for (int i = 0; i < runs; ++i) {
        vebix::rng::seed(1);
        auto ai = loadMind(1000000);
        // As the window does once it has loaded a mind (there in the background, while the
        // person reads the greeting and types).
        const std::atomic<bool> stop{false};
        ai->prepareReplies(stop);
        const std::uint32_t now = replyTime(*ai);
        const std::size_t base = static_cast<std::size_t>(i) * (kWarmup + runs + 1);
        const std::string& first = in[base % in.size()];
        const double f = seconds([&] { ai->reply("Guest!t", "Guest!t", first, now); });
        std::vector<std::string> rest;
        for (int k = 1; k <= kWarmup + runs; ++k) rest.push_back(in[(base + k) % in.size()]);
        const double s = replyTimeOn(*ai, runs, rest, kWarmup);
        firsts.push_back(f);
        steadies.push_back(s);
        ratios.push_back(f / s);
    }
    std::printf(
        "window  1,000,000 lines: first reply %.1f ms, steady reply %.1f ms, ratio %.2f "
        "(target <= 2)\n",
        median(firsts) * 1e3, median(steadies) * 1e3, median(ratios));
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
    vebix::keepFreedMemory();  // as the program does: the in-process figures measure the same
    const std::string what = argc > 1 ? argv[1] : "all";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const std::vector<std::string> modes = {"cold", "memory", "window", "steady",
                                            "big",  "learn",  "growth", "all"};
    if (std::find(modes.begin(), modes.end(), what) == modes.end()) {
        std::cerr << "usage: " << argv[0]
                  << " [cold|memory|window|steady|big|learn|growth|all] [runs]\n";
        return 2;
    }
    // The spawned runs come first: a spawned child's peak memory as the system reports it
    // starts from this process's own, which must still be small then.
    if (what == "cold" || what == "memory") cold(runs, false);
    if (what == "big" || what == "all") cold(runs, true);
    if (what == "learn" || what == "all") learn(runs);
    if (what == "window" || what == "all") window(runs);
    if (what == "steady" || what == "all") steady(runs);
    if (what == "growth" || what == "all") growth(runs);
    return 0;
}
