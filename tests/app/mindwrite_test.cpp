// Writing a mind whole or not at all: every system call of each kind of save failing in turn,
// or the process ending there as a kill would; a file changed under a loaded mind; two makers
// of one new mind; a version 1.2 header without its empty line.
#include "app/mind/mindwrite.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "failingops.h"
#include "app/mind/mindappend.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

using testing::FailingOps;
using testing::MindFileOps;
using testing::readBytes;
using testing::writeBytes;

const std::string kMind =
    "\xEF\xBB\xBF"
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

// The mind lines a loader reads from the file at path; "<error: ...>" when it does not load.
std::vector<std::string> linesOf(const std::string& path) {
    VebixAi mind;
    try {
        mind.loadFile(path);
    } catch (const Error& e) {
        return {std::string("<error: ") + e.what() + ">"};
    }
    return {mind.lines().begin(), mind.lines().end()};
}

void learnTwo(VebixAi& mind) {
    mind.addLine("Bob!Bob", "1700000000", "Bob!Bob", "learned one");
    mind.addAiLine("Bob!Bob", "1700000000", "learned two");
}

// One kind of save: what the file holds before (nothing when !exists) and the save itself,
// which loads (with the system's calls) and then writes through ops.
struct SaveKind {
    const char* what;
    std::string before;
    bool exists;
    std::function<void(const std::string& path, const FileOps& ops)> save;
};

const std::vector<SaveKind>& saveKinds() {
    static const std::vector<SaveKind> kinds = {
        {"an append to a loaded mind", kMind, true,
         [](const std::string& path, const FileOps& ops) {
             VebixAi mind;
             mind.loadFile(path);
             learnTwo(mind);
             MindFileOps::use(mind, ops);
             mind.saveFrom(2);
         }},
        {"an append after a last line without a line end and a 1.2 header without its end",
         "1.2 1.2 \"Mo\"\r\napp=Vebix\r\nk 1 a read as a key", true,
         [](const std::string& path, const FileOps& ops) {
             VebixAi mind;
             mind.loadFile(path);
             learnTwo(mind);
             MindFileOps::use(mind, ops);
             mind.saveFrom(0);
         }},
        {"a new mind written whole", "", false,
         [](const std::string& path, const FileOps& ops) {
             VebixAi mind;
             mind.loadText(path, "1.2 1.2 \"New\"\r\n\r\nk 1 a hi\r\n", TextLines::Copied);
             learnTwo(mind);
             MindFileOps::use(mind, ops);
             mind.saveFrom(0);
         }},
        {"a whole rewrite", kMind, true,
         [](const std::string& path, const FileOps& ops) {
             VebixAi mind;
             mind.loadFile(path);
             learnTwo(mind);
             MindFileOps::use(mind, ops);
             mind.saveAll();
         }},
        {"an import", kMind, true,
         [](const std::string& path, const FileOps& ops) {
             appendToMind(
                 path, NewMindStart::Template,
                 [](std::string_view, const ByteSink& sink) {
                     sink("Bob!Bob 1700000000 Bob!Bob learned one\r\n");
                     sink("Bob!Bob 1700000000 <ai> learned two\r\n");
                 },
                 ops);
         }},
    };
    return kinds;
}

class MindSave : public testing::AppTest {
protected:
    std::string mindPath() const { return spath("mind.mdd"); }
    void reset(const SaveKind& kind) {
        QFile::remove(path("mind.mdd"));
        QFile::remove(QString::fromStdString(mindLockPath(mindPath())));
        if (kind.exists) writeBytes(path("mind.mdd"), kind.before);
    }
    // What a kind of save leaves when nothing fails, what a loader reads before and after it,
    // and how many system calls it makes.
    struct Outcomes {
        std::string after;
        std::vector<std::string> oldLines, newLines;
        int calls = 0;
    };
    Outcomes outcomes(const SaveKind& kind) {
        Outcomes o;
        reset(kind);
        o.oldLines = linesOf(mindPath());
        FailingOps counting;
        kind.save(mindPath(), counting);
        o.calls = static_cast<int>(counting.calls().size());
        o.after = readBytes(path("mind.mdd"));
        o.newLines = linesOf(mindPath());
        EXPECT_NE(o.after.find("learned one\r\n"), std::string::npos) << o.after;
        EXPECT_NE(o.after.find("learned two\r\n"), std::string::npos) << o.after;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(mindLockPath(mindPath()))));
        return o;
    }
};

// Each write, sync, truncate and rename of each kind of save fails in turn: the file is the
// old one, and the save says it failed, or the new one; a loader reads one or the other; and
// the next save that succeeds leaves exactly the new file, nothing doubled.
TEST_F(MindSave, EachCallFailingInTurnLeavesTheOldFileOrTheNew) {
    for (const SaveKind& kind : saveKinds()) {
        SCOPED_TRACE(kind.what);
        const auto [after, oldLines, newLines, calls] = outcomes(kind);
        ASSERT_GE(calls, 3);
        for (int k = 0; k < calls; ++k) {
            SCOPED_TRACE("call " + std::to_string(k));
            reset(kind);
            bool failed = false;
            try {
                FailingOps failing(k);
                kind.save(mindPath(), failing);
            } catch (const Error& e) {
                failed = true;
                EXPECT_EQ(std::string(e.what()).rfind("Unable to save mind file '" + mindPath() +
                                                          "': Input/output error",
                                                      0),
                          0u)
                    << e.what();
            }
            const std::string now = readBytes(path("mind.mdd"));
            if (failed) {
                EXPECT_EQ(now, kind.exists ? kind.before : "<missing>");
                EXPECT_EQ(linesOf(mindPath()), oldLines);
            } else {
                EXPECT_EQ(now, after);
            }
            kind.save(mindPath(), systemFileOps());
            if (!failed) continue;
            EXPECT_EQ(readBytes(path("mind.mdd")), after) << "after a save that failed";
            EXPECT_EQ(linesOf(mindPath()), newLines);
        }
    }
}

// The process ends at each call in turn (a write half done first), as a kill at that moment
// would end it: a loader then reads the old mind or the new one, never a part of the new lines,
// and the next writer leaves the old file or the new one, byte for byte.
TEST_F(MindSave, AProcessEndedAtEachCallLeavesTheOldMindOrTheNew) {
    for (const SaveKind& kind : saveKinds()) {
        SCOPED_TRACE(kind.what);
        const auto [after, oldLines, newLines, calls] = outcomes(kind);
        for (int k = 0; k < calls; ++k) {
            SCOPED_TRACE("call " + std::to_string(k));
            reset(kind);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                try {
                    FailingOps crashing(k, FailingOps::Mode::Crash);
                    kind.save(mindPath(), crashing);
                } catch (...) {
                    ::_exit(3);
                }
                ::_exit(2);  // the call was never reached
            }
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

            const std::vector<std::string> seen = linesOf(mindPath());
            EXPECT_TRUE(seen == oldLines || seen == newLines)
                << "a loader sees " << ::testing::PrintToString(seen);
            { MindWrite next(mindPath()); }
            const std::string now = readBytes(path("mind.mdd"));
            EXPECT_TRUE(now == (kind.exists ? kind.before : "<missing>") || now == after)
                << "the next writer leaves " << ::testing::PrintToString(now);
            EXPECT_EQ(linesOf(mindPath()), seen);
        }
    }
}

class MindChangedUnderIt : public testing::AppTest {};

// A file replaced, cut shorter or removed by another program while its mind was loaded is not
// written from the memory that no longer matches it; the lines not saved go to a rescue file
// (all of the mind when its lines are still whole, the lines not saved when they were cut).
TEST_F(MindChangedUnderIt, ASaveIsRefusedAndTheRescueKeepsWhatMemoryHolds) {
    const std::string bigMind = kMind + std::string(200, 'x') + "\r\n" + [] {
        std::string lines;
        for (int i = 0; i < 2000; ++i)
            lines += "k " + std::to_string(i + 10) + " a line " + std::to_string(i) + "\r\n";
        return lines;
    }();
    struct Case {
        const char* what;
        std::function<void(const QString&)> change;
        const char* said;
        bool rescueWhole;
    };
    const Case cases[] = {
        {"cut to nothing",
         [](const QString& p) { ASSERT_EQ(::truncate(p.toLocal8Bit().constData(), 0), 0); },
         "was cut shorter by another program", false},
        {"cut shorter",
         [](const QString& p) { ASSERT_EQ(::truncate(p.toLocal8Bit().constData(), 100), 0); },
         "was cut shorter by another program", false},
        {"replaced",
         [&](const QString& p) {
             writeBytes(p + ".new", kMind);
             ASSERT_TRUE(QFile::remove(p));
             ASSERT_TRUE(QFile::rename(p + ".new", p));
         },
         "was replaced by another file", true},
        {"removed", [](const QString& p) { ASSERT_TRUE(QFile::remove(p)); },
         "was removed by another program", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path("mind.mdd");
        writeBytes(file, bigMind);
        MindKeeper keeper(MindKeeper::Use::Append);
        keeper.loadMind(spath("mind.mdd"));
        const std::size_t loaded = keeper.bot()->lines().size();
        learnTwo(*keeper.bot());
        c.change(file);
        const std::string changed = readBytes(file);

        try {
            keeper.saveLearned();
            ADD_FAILURE() << "saved";
        } catch (const MindChanged& e) {
            EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos) << e.what();
        }
        EXPECT_EQ(readBytes(file), changed) << "written over";
        ASSERT_TRUE(keeper.bot()) << "the lines are still held";

        const std::string rescue = spath("rescued.mdd");
        QFile::remove(QString::fromStdString(rescue));
        EXPECT_EQ(keeper.writeRescue(rescue), c.rescueWhole);
        const std::vector<std::string> kept = linesOf(rescue);
        ASSERT_EQ(kept.size(), (c.rescueWhole ? loaded : 0) + 2);
        EXPECT_EQ(kept[kept.size() - 2], "Bob!Bob 1700000000 Bob!Bob learned one");
        EXPECT_EQ(kept.back(), "Bob!Bob 1700000000 <ai> learned two");
        for (const std::string& line : kept)
            EXPECT_EQ(line.find('\0'), std::string::npos) << "a line of NUL bytes";
        keeper.discardMind();
    }
}

class NewMindMakers : public testing::AppTest {};

// Two keepers that each started the same new mind from the template save at once: one makes
// the file, the other appends to it only what it learned; the template is there once.
TEST_F(NewMindMakers, TheSecondMakerAppendsOnlyWhatItLearned) {
    const std::string mind = spath("new.mdd");
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        QFile::remove(QString::fromStdString(mind));
        std::vector<std::unique_ptr<MindKeeper>> keepers;
        for (const char* who : {"Ann", "Bea"}) {
            auto keeper = std::make_unique<MindKeeper>(MindKeeper::Use::Append);
            keeper->loadMind(mind);
            const std::string id = std::string(who) + "!" + who;
            keeper->bot()->addLine(id, "1700000000", id, std::string("said by ") + who);
            keeper->bot()->addAiLine(id, "1700000000", std::string("answered ") + who);
            keepers.push_back(std::move(keeper));
        }
        std::promise<void> go;
        std::shared_future<void> start = go.get_future().share();
        std::vector<std::future<void>> saves;
        for (auto& keeper : keepers)
            saves.push_back(std::async(std::launch::async, [&keeper, start] {
                start.wait();
                keeper->saveLearned();
            }));
        go.set_value();
        for (auto& save : saves) save.get();

        const std::vector<std::string> lines = linesOf(mind);
        VebixAi tmpl;
        tmpl.loadText("template", templateMindText(), TextLines::Copied);
        ASSERT_EQ(lines.size(), tmpl.lines().size() + 4);
        EXPECT_TRUE(std::equal(tmpl.lines().begin(), tmpl.lines().end(), lines.begin()));
        for (const char* who : {"Ann", "Bea"}) {
            const std::string id = std::string(who) + "!" + who;
            EXPECT_EQ(std::count(lines.begin(), lines.end(),
                                 id + " 1700000000 " + id + " said by " + who),
                      1);
        }
    }
}

// Lines appended after a version 1.2 header that lacks its empty line would be read back as
// key=value lines, and the mind would never learn: the empty line is written first, once.
TEST_F(MindSave, AHeaderWithoutItsEmptyLineGetsItBeforeTheFirstAppend) {
    const std::string noEnd = "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n";
    for (const bool viaImport : {false, true}) {
        SCOPED_TRACE(viaImport ? "an import" : "a keeper's save");
        writeBytes(path("mind.mdd"), noEnd);
        for (int save = 0; save < 2; ++save) {
            if (viaImport) {
                appendToMind(mindPath(), NewMindStart::Template,
                             [&](std::string_view, const ByteSink& sink) {
                                 sink("k " + std::to_string(save) + " a learned\r\n");
                             });
            } else {
                MindKeeper keeper(MindKeeper::Use::Append);
                keeper.loadMind(mindPath());
                keeper.bot()->addLine("k", std::to_string(save), "a", "learned");
                keeper.saveLearned();
            }
        }
        EXPECT_EQ(readBytes(path("mind.mdd")), noEnd + "\r\nk 0 a learned\r\nk 1 a learned\r\n");
        EXPECT_EQ(linesOf(mindPath()),
                  (std::vector<std::string>{"k 0 a learned", "k 1 a learned"}));
    }
}

}  // namespace
}  // namespace vebix
