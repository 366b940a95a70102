// The speed and memory bounds of Vebix on big minds, each as a ratio measured in one run on the
// same machine (the figure and its yardstick taken in turn), so that it holds on a busy machine.
// Every figure is the median of several runs; the bound is printed beside it.
//
//   cold      the program in bot mode on 1,000,000 lines, end to end (CHAT.MSG, load, reply,
//             learn, save, exit), against `LC_ALL=C wc -w MIND`            bound <= 0.35
//   memory    peak resident memory of that run against the mind's size     bound <= 1.3
//   big       the cold run on 10,000,000 lines against the one on 1,000,000 bound <= 12
//             its peak resident memory against its mind's size            bound <= 1.3
//   learn     `vebix learn NEWMIND TEXT` of about 19 MB of corpus text into a mind that does
//             not exist yet, against `LC_ALL=C wc -w TEXT`                 bound <= 2
//   commands  on a mind of 1,000,000 lines (bigcommands: of 10,000,000; "all": both):
//               `vebix learn MIND` of 27 lines into it, against a cold exchange on it
//                                                                           bound <= 0.2
//               the peak memory of that learn against the mind's size      bound <= 0.3
//               `vebix info MIND`: its peak memory against the mind's size bound <= 0.5
//               bot mode with a CHAT.MSG it must refuse (a sender and no message),
//               against a cold exchange                                     bound <= 0.1
//   longline  a mind of 900 lines and one line of 100 MB (the words of the corpus):
//               a cold exchange on it: its peak memory against the long line bound <= 3
//               and its time against `LC_ALL=C wc -w MIND`                  bound <= 1
//             a CHAT.MSG whose sender's name is 100 MB long, on the 900 lines:
//               its peak memory against the name (which the mind learns four times over:
//               the key and the speaker of a line are both "NAME!NAME")    bound <= 7
//               and its time against `LC_ALL=C wc -w CHAT.MSG`             bound <= 1
//   window    the first reply after loading 1,000,000 lines (load not counted) against a
//             steady reply on the same mind                                 bound <= 2
//             (the window prepares a loaded mind's replies in the background; this takes
//             the first reply once that is done, as a person typing a first line sees it)
//   steady    one reply on 1,000,000 loaded and prepared lines (one after another, as in
//             the window), against `cat MIND > /dev/null`                   bound <= 1.5
//   growth    time per mind line at 1,000,000 lines against 100,000         bound <= 1.3
//             a 64 KB message against a 32 KB message on the same mind      bound <= 2.5
//
//   build-release/bench/targets_bench [cold|memory|big|learn|commands|bigcommands|longline|
//                                      window|steady|growth|all] [runs]
//
// The minds are made from the repository's corpus (tests/data/corpus) by the project's own
// generator, build/tools/vebix-make-mind (seed 1), into VEBIX_BENCH_MINDS (default
// /tmp/vebix-bench-minds), and remade when the generator or the corpus changes; "big" and "all"
// make the 10,000,000-line mind too (about 700 MB). VEBIX_EXE names the program (default: the
// one built beside this benchmark).

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchsupport.h"
#include "engine/ai/ai.h"
#include "engine/base/memorypolicy.h"
#include "engine/base/random.h"

namespace {

using namespace vebix::bench;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kMillion = 1000000;
constexpr std::size_t kTenMillion = 10000000;

double seconds(const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double mb(double bytes) { return bytes / 1e6; }

// 1000000 as "1,000,000".
std::string withCommas(std::size_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}
double peakBytes(const ChildResult& r) { return static_cast<double>(r.peakKb) * 1024.0; }

std::string exePath() {
    const char* exe = std::getenv("VEBIX_EXE");
    if (exe && *exe) return exe;
    return (buildFolder() / "app" / "vebix").string();
}

double catTime(const std::string& file) { return run({"/bin/cat", file}).wall; }
// Pinned to the C locale: counting words then needs no decoding of characters, the fastest
// (and so the strictest) yardstick whatever the user's locale.
double wcTime(const std::string& file) {
    return run({"/usr/bin/wc", "-w", file}, {}, {"LC_ALL=C"}).wall;
}

const std::vector<std::string>& inputs() {
    static const std::vector<std::string> lines = corpusLines(200);
    return lines;
}

// A message of bytes bytes made of corpus lines.
std::string longMessage(std::size_t bytes) {
    const std::vector<std::string> lines = corpusLines(100000);
    std::string out;
    for (std::size_t i = 0; out.size() < bytes; ++i) out += lines[i % lines.size()] + " ";
    out.resize(bytes);
    return out;
}

// Writes bytes bytes of corpus words, blank-separated, to out a block at a time (the
// benchmark itself stays small: see run()).
void writeCorpusWords(std::ofstream& out, std::size_t bytes) {
    std::string block;
    for (const std::string& line : corpusLines(100000)) block += line + " ";
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t n = std::min(left, block.size());
        out.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

// ---- bot mode ---------------------------------------------------------------------------

// One bot-mode run on a fresh copy of mind, learning on, answering chatMsg (the file's bytes);
// exits unless the program ends with expectStatus.
ChildResult botRun(const std::string& mind, const std::string& chatMsg, int expectStatus = 0) {
    const fs::path dir = scratchFolder("bot");
    const fs::path copy = dir / "mind.mdd";
    fs::copy_file(mind, copy, fs::copy_options::overwrite_existing);
    {
        std::ofstream nfo(dir / "UDLPX.NFO", std::ios::binary);
        nfo << "2\r\n0\r\nvebix\r\nBenchbot\r\nmind=" << copy.string()
            << "\r\nshowerrors=false\r\nlearn=true\r\n";
        std::ofstream msg(dir / "CHAT.MSG", std::ios::binary);
        msg << chatMsg;
    }
    // Copying the file leaves it in the page cache, as cat and wc find theirs. It is written
    // out before the run, as a mind kept on disk is: else the program's own sync after it
    // learns would be writing out the benchmark's copy.
    syncFile(copy);
    ChildResult r = run({exePath()}, dir.string());
    if (!exitedWith(r, expectStatus)) {
        std::cerr << "bot mode ended with status " << r.status << ", not " << expectStatus << "\n";
        std::exit(2);
    }
    return r;
}

std::string chatMsg(std::size_t message) {
    return "Benchfriend\r\n" + inputs()[message % inputs().size()] + "\r\n";
}

ChildResult coldRun(const std::string& mind, std::size_t message) {
    return botRun(mind, chatMsg(message));
}

// The cold runs on 1,000,000 lines and, with withBig, on 10,000,000 lines. Each big run is
// taken in the same pass as a run on the smaller mind, so that their ratio sees one machine
// state; there are fewer of them, spread over the passes, as each takes about ten times as long.
void cold(int runs, bool withBig) {
    const std::string mind = generatedMind(kMillion);
    const std::string bigMind = withBig ? generatedMind(kTenMillion) : std::string();
    const int bigRuns = withBig ? std::max(3, runs / 3) : 0;
    const int passes = std::max(runs, bigRuns);
    std::vector<double> bots, wcs, ratios, peaks, bigBots, bigRatios, bigPeaks;
    coldRun(mind, 0);  // warm-up
    for (int i = 0; i < passes; ++i) {
        const ChildResult r = coldRun(mind, i + 1);
        const double w = wcTime(mind);
        bots.push_back(r.wall);
        wcs.push_back(w);
        ratios.push_back(r.wall / w);
        peaks.push_back(peakBytes(r));
        // Pass i holds a big run when it moves the share i * bigRuns / passes to the next
        // whole number, which spreads bigRuns runs evenly over the passes.
        if ((i + 1) * bigRuns / passes > i * bigRuns / passes) {
            const ChildResult b = coldRun(bigMind, i + 1);
            bigBots.push_back(b.wall);
            bigRatios.push_back(b.wall / r.wall);
            bigPeaks.push_back(peakBytes(b));
        }
    }
    // The copy of the big mind would otherwise keep 700 MB of the temporary folder.
    fs::remove(scratchFolder("bot") / "mind.mdd");
    const double size = static_cast<double>(fs::file_size(mind));
    std::printf(
        "cold      1,000,000 lines: bot mode %.0f ms, wc -w %.0f ms, ratio %.2f (bound <= 0.35)\n",
        median(bots) * 1e3, median(wcs) * 1e3, median(ratios));
    std::printf(
        "memory    1,000,000 lines: peak %.0f MB, mind %.0f MB, ratio %.2f (bound <= 1.3)\n",
        mb(median(peaks)), mb(size), median(peaks) / size);
    if (!withBig) return;
    const double bigSize = static_cast<double>(fs::file_size(bigMind));
    std::printf(
        "big       10,000,000 lines: bot mode %.0f ms against %.0f ms on 1,000,000, ratio %.2f "
        "(bound <= 12)\n",
        median(bigBots) * 1e3, median(bots) * 1e3, median(bigRatios));
    std::printf(
        "big       10,000,000 lines: peak %.0f MB, mind %.0f MB, ratio %.2f (bound <= 1.3)\n",
        mb(median(bigPeaks)), mb(bigSize), median(bigPeaks) / bigSize);
}

// ---- the other commands on a big mind ---------------------------------------------------

// 27 lines of the corpus in its own form (plain text, a blank line between conversations).
fs::path twentySevenLines() {
    const fs::path path = scratchFolder("commands") / "27lines.txt";
    std::ifstream in(corpusFile());
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (int said = 0; said < 27 && std::getline(in, line);) {
        out << line << "\n";
        if (!line.empty()) ++said;
    }
    return path;
}

// `vebix learn`, `vebix info` and a refused CHAT.MSG against a cold exchange on the same mind,
// all taken in each pass.
void commands(std::size_t lines, int runs) {
    const std::string mind = generatedMind(lines);
    const fs::path text = twentySevenLines();
    const fs::path dir = scratchFolder("commands");
    const fs::path copy = dir / "mind.mdd";
    auto learnOnce = [&] {
        fs::copy_file(mind, copy, fs::copy_options::overwrite_existing);
        syncFile(copy);
        const ChildResult r = run({exePath(), "learn", copy.string(), text.string()}, dir.string());
        if (!exitedWith(r, 0)) {
            std::cerr << "vebix learn failed (status " << r.status << ")\n";
            std::exit(2);
        }
        return r;
    };
    auto infoOnce = [&] {
        const ChildResult r = run({exePath(), "info", mind}, dir.string());
        if (!exitedWith(r, 0)) {
            std::cerr << "vebix info failed (status " << r.status << ")\n";
            std::exit(2);
        }
        return r;
    };
    std::vector<double> colds, learns, learnRatios, learnPeaks, infos, infoPeaks, refuses,
        refuseRatios;
    coldRun(mind, 0);  // warm-up
    for (int i = 0; i < runs; ++i) {
        const ChildResult c = coldRun(mind, static_cast<std::size_t>(i) + 1);
        const ChildResult l = learnOnce();
        const ChildResult n = infoOnce();
        // A sender and no message: refused with status 1.
        const ChildResult f = botRun(mind, "Benchfriend\r\n", 1);
        colds.push_back(c.wall);
        learns.push_back(l.wall);
        learnRatios.push_back(l.wall / c.wall);
        learnPeaks.push_back(peakBytes(l));
        infos.push_back(n.wall);
        infoPeaks.push_back(peakBytes(n));
        refuses.push_back(f.wall);
        refuseRatios.push_back(f.wall / c.wall);
    }
    fs::remove(copy);
    fs::remove(scratchFolder("bot") / "mind.mdd");
    const double size = static_cast<double>(fs::file_size(mind));
    const std::string count = withCommas(lines);
    std::printf(
        "commands  %s lines: learn of 27 lines %.0f ms, cold exchange %.0f ms, ratio %.2f "
        "(bound <= 0.2)\n",
        count.c_str(), median(learns) * 1e3, median(colds) * 1e3, median(learnRatios));
    std::printf(
        "commands  %s lines: learn of 27 lines peak %.0f MB, mind %.0f MB, ratio %.2f "
        "(bound <= 0.3)\n",
        count.c_str(), mb(median(learnPeaks)), mb(size), median(learnPeaks) / size);
    std::printf(
        "commands  %s lines: info %.0f ms, peak %.0f MB, mind %.0f MB, ratio %.2f "
        "(bound <= 0.5)\n",
        count.c_str(), median(infos) * 1e3, mb(median(infoPeaks)), mb(size),
        median(infoPeaks) / size);
    std::printf(
        "commands  %s lines: refused CHAT.MSG %.0f ms, cold exchange %.0f ms, ratio %.2f "
        "(bound <= 0.1)\n",
        count.c_str(), median(refuses) * 1e3, median(colds) * 1e3, median(refuseRatios));
}

// ---- very long lines --------------------------------------------------------------------

constexpr std::size_t kLongLine = std::size_t{100} << 20;

// A mind of 900 generated lines (too few for random chunking: every line is scored) and, last,
// one line whose text is kLongLine bytes of corpus words.
std::string longLineMind() {
    const fs::path path = scratchFolder("longline") / "longline.mdd";
    if (fs::exists(path)) return path.string();
    const std::string small = generatedMind(900);
    fs::copy_file(small, path);
    // The last line's time, plus a minute.
    std::ifstream in(small, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty() && line != "\r") last = line;
    const std::size_t b1 = last.find(' ');
    const std::uint64_t time = std::strtoull(last.c_str() + b1 + 1, nullptr, 10) + 60;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << "Longtalk_1 " << time << " Longtalk_1 ";
    writeCorpusWords(out, kLongLine);
    out << "\r\n";
    return path.string();
}

// A CHAT.MSG whose sender's name is kLongLine letters.
fs::path longSenderMsg() {
    const fs::path path = scratchFolder("longline") / "CHAT.MSG";
    if (fs::exists(path)) return path;
    std::ofstream out(path, std::ios::binary);
    const std::string letters(1 << 20, 'n');
    for (std::size_t left = kLongLine; left > 0; left -= letters.size())
        out.write(letters.data(), static_cast<std::streamsize>(letters.size()));
    out << "\r\n" << inputs()[0] << "\r\n";
    return path;
}

void longLine(int runs) {
    const std::string mind = longLineMind();
    const std::string small = generatedMind(900);
    const fs::path senderMsg = longSenderMsg();
    std::vector<double> mindTimes, mindWcs, mindRatios, mindPeaks, senderTimes, senderWcs,
        senderRatios, senderPeaks;
    for (int i = 0; i < runs; ++i) {
        const ChildResult m = coldRun(mind, static_cast<std::size_t>(i));
        const double w = wcTime(mind);
        mindTimes.push_back(m.wall);
        mindWcs.push_back(w);
        mindRatios.push_back(m.wall / w);
        mindPeaks.push_back(peakBytes(m));
        // The CHAT.MSG is copied into the bot folder by the file system, not through memory.
        const fs::path dir = scratchFolder("bot");
        fs::copy_file(small, dir / "mind.mdd", fs::copy_options::overwrite_existing);
        {
            std::ofstream nfo(dir / "UDLPX.NFO", std::ios::binary);
            nfo << "2\r\n0\r\nvebix\r\nBenchbot\r\nmind=" << (dir / "mind.mdd").string()
                << "\r\nshowerrors=false\r\nlearn=true\r\n";
        }
        fs::copy_file(senderMsg, dir / "CHAT.MSG", fs::copy_options::overwrite_existing);
        syncFile(dir / "mind.mdd");
        const ChildResult s = run({exePath()}, dir.string());
        const double ws = wcTime(senderMsg.string());
        senderTimes.push_back(s.wall);
        senderWcs.push_back(ws);
        senderRatios.push_back(s.wall / ws);
        senderPeaks.push_back(peakBytes(s));
    }
    fs::remove(scratchFolder("bot") / "mind.mdd");
    const double line = static_cast<double>(kLongLine);
    std::printf(
        "longline  a 100 MB line in a mind: cold exchange %.0f ms, wc -w %.0f ms, ratio %.2f "
        "(bound <= 1)\n",
        median(mindTimes) * 1e3, median(mindWcs) * 1e3, median(mindRatios));
    std::printf(
        "longline  a 100 MB line in a mind: peak %.0f MB, line %.0f MB, ratio %.2f "
        "(bound <= 3)\n",
        mb(median(mindPeaks)), mb(line), median(mindPeaks) / line);
    std::printf(
        "longline  a 100 MB sender name: bot mode %.0f ms, wc -w CHAT.MSG %.0f ms, ratio %.2f "
        "(bound <= 1)\n",
        median(senderTimes) * 1e3, median(senderWcs) * 1e3, median(senderRatios));
    std::printf(
        "longline  a 100 MB sender name: peak %.0f MB, name %.0f MB, ratio %.2f (bound <= 7)\n",
        mb(median(senderPeaks)), mb(line), median(senderPeaks) / line);
}

// ---- learning into a new mind -----------------------------------------------------------

// `vebix learn` of about 19 MB of corpus text into a mind that does not exist yet, against
// counting the words of the same file.
void learn(int runs) {
    const fs::path dir = scratchFolder("learn");
    const fs::path text = dir / "corpus.txt";
    {
        // The corpus, over and over: conversations a blank line apart, as the importer reads.
        std::ifstream in(corpusFile(), std::ios::binary);
        const std::string corpus((std::istreambuf_iterator<char>(in)), {});
        std::ofstream out(text, std::ios::binary);
        for (std::size_t written = 0; written < (std::size_t{19} << 20); written += corpus.size())
            out << corpus << "\n";
    }
    const fs::path mind = dir / "learned.mdd";
    auto learnOnce = [&] {
        // A new mind each time: the figure is the import, not an append to a grown mind.
        fs::remove(mind);
        const ChildResult r = run({exePath(), "learn", mind.string(), text.string()}, dir.string());
        if (!exitedWith(r, 0)) {
            std::cerr << "vebix learn failed (status " << r.status << ")\n";
            std::exit(2);
        }
        return r.wall;
    };
    std::vector<double> learns, wcs, ratios;
    learnOnce();  // warm-up
    for (int i = 0; i < runs; ++i) {
        const double l = learnOnce();
        const double w = wcTime(text.string());
        learns.push_back(l);
        wcs.push_back(w);
        ratios.push_back(l / w);
    }
    const double size = static_cast<double>(fs::file_size(text));
    fs::remove_all(dir);
    std::printf(
        "learn     %.0f MB of text into a new mind: learn %.0f ms, wc -w %.0f ms, ratio %.2f "
        "(bound <= 2)\n",
        mb(size), median(learns) * 1e3, median(wcs) * 1e3, median(ratios));
}

// ---- in this process --------------------------------------------------------------------

std::unique_ptr<vebix::Ai> loadMind(std::size_t lines) {
    auto ai = std::make_unique<vebix::Ai>();
    ai->setName("Benchbot");
    ai->loadFile(generatedMind(lines));
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
    auto ai = loadMind(kMillion);
    const std::atomic<bool> stop{false};
    ai->prepareReplies(stop);  // as the window does after loading
    const std::string mind = generatedMind(kMillion);
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
    std::printf(
        "steady    1,000,000 lines: reply %.1f ms, cat %.1f ms, ratio %.2f (bound <= 1.5)\n",
        median(replies) * 1e3, median(cats) * 1e3, median(ratios));
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
        auto ai = loadMind(kMillion);
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
        "window    1,000,000 lines: first reply %.1f ms, steady reply %.1f ms, ratio %.2f "
        "(bound <= 2)\n",
        median(firsts) * 1e3, median(steadies) * 1e3, median(ratios));
}

void growth(int runs) {
    vebix::rng::seed(1);
    auto small = loadMind(100000);
    auto big = loadMind(kMillion);
    const double tSmall = replyTimeOn(*small, runs, inputs(), 40);
    const double tBig = replyTimeOn(*big, runs, inputs(), 40);
    const double perSmall = tSmall / 100000, perBig = tBig / 1000000;
    std::printf(
        "growth    per line: %.1f ns at 100,000 lines (reply %.1f ms), %.1f ns at 1,000,000 "
        "(reply %.1f ms), ratio %.2f (bound <= 1.3)\n",
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
        "growth    input on 100,000 lines: 32 KB %.0f ms, 64 KB %.0f ms, ratio %.2f "
        "(bound <= 2.5)\n",
        median(t32) * 1e3, median(t64) * 1e3, median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
    vebix::keepFreedMemory();  // as the program does: the in-process figures measure the same
    const std::string what = argc > 1 ? argv[1] : "all";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const std::vector<std::string> modes = {"cold",     "memory",      "big",      "learn",
                                            "commands", "bigcommands", "longline", "window",
                                            "steady",   "growth",      "all"};
    if (std::find(modes.begin(), modes.end(), what) == modes.end()) {
        std::cerr << "usage: " << argv[0]
                  << " [cold|memory|big|learn|commands|bigcommands|longline|window|steady|growth|"
                     "all] "
                     "[runs]\n";
        return 2;
    }
    const bool all = what == "all";
    // The spawned runs come first: a spawned child's peak memory as the system reports it
    // starts from this process's own, which must still be small then.
    if (what == "cold" || what == "memory") cold(runs, false);
    if (what == "big" || all) cold(runs, true);
    if (what == "commands" || all) commands(kMillion, runs);
    if (what == "bigcommands" || all) commands(kTenMillion, all ? std::max(3, runs / 3) : runs);
    if (what == "longline" || all) longLine(std::max(3, runs / 3));
    if (what == "learn" || all) learn(runs);
    if (what == "window" || all) window(runs);
    if (what == "steady" || all) steady(runs);
    if (what == "growth" || all) growth(runs);
    return 0;
}
