// The reading of plain text, transcripts and tsv files into mind lines, in process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli/importer.h"
#include "engine/ai/mindline.h"
#include "engine/base/lines.h"

namespace vebix::cli {
namespace {

struct Written {
    std::vector<std::string> lines;  // "conversation speaker text"
    std::vector<std::string> keys;
    std::vector<std::uint32_t> times;
};

Written write(const Importer& importer, std::uint32_t now = 1700000000,
              std::string_view stamp = "1700000000") {
    std::string bytes;
    importer.writeLines(stamp, now, [&](std::string_view block) { bytes += block; });
    EXPECT_TRUE(bytes.empty() || bytes.ends_with("\r\n"));
    Written w;
    forEachLine(bytes, [&](std::string_view line) {
        if (line.empty()) return;  // the LF of CR LF reads as an empty line here
        const MindLine m = parseLine(line, AiSuffix::Keep);
        const std::string prefix = "learn-" + std::string(stamp) + "-";
        EXPECT_TRUE(m.key.starts_with(prefix)) << line;
        w.lines.push_back(std::string(m.key.substr(prefix.size())) + " " + std::string(m.speaker) +
                          " " + std::string(m.text));
        w.keys.emplace_back(m.key);
        w.times.push_back(parseTime(m.time).value_or(0xFFFFFFFF));
    });
    return w;
}

ImportOptions withFormat(InputFormat format, std::vector<std::string> bots = {},
                         std::string speaker = {}) {
    return {format, std::move(bots), std::move(speaker), {}, {}};
}

struct FormatCase {
    const char* name;
    std::string bytes;
    ImportOptions options;
    std::vector<std::string> lines;
    SkippedLines skipped;
    InputFormat format;
};

TEST(Importer, ReadsEachFormatIntoMindLines) {
    const std::string tooLong(kMaxLineBytes + 1, 'x');
    const std::vector<FormatCase> cases = {
        {"plain, LF, speakers alternate from each conversation start",
         "hi\nhello\nhow are you\n\nbye\n",
         {},
         {"1 $a hi", "1 $b hello", "1 $a how are you", "2 $a bye"},
         {},
         InputFormat::Plain},
        {"plain, byte-order mark, CR only and CR LF ends, blank lines of blanks",
         "\xEF\xBB\xBF one \rtwo\r\n \t \r\nthree\r",
         {},
         {"1 $a one", "1 $b two", "2 $a three"},
         {},
         InputFormat::Plain},
        {"plain, --speaker with a blank, --bot on $b",
         "a\nb\n",
         withFormat(InputFormat::Auto, {"Ann Lee"}, "Ann Lee"),
         {"1 <ai> a", "1 <ai> b"},
         {},
         InputFormat::Plain},
        {"plain, --bot picks one side",
         "a\nb\nc\n",
         withFormat(InputFormat::Auto, {"$B"}),
         {"1 $a a", "1 <ai> b", "1 $a c"},
         {},
         InputFormat::Plain},
        {"transcript: path line, apology, empty waiting tag skipped",
         "\xEF\xBB\xBF/home/a/Vebix.mdd\r\n\r\n<Vebix> hi there\r\n<Ann Lee> hello :)\r\n"
         "I am sorry, I lost my train of thought.\r\n<Ann Lee> ",
         withFormat(InputFormat::Auto, {"VEBIX"}),
         {"1 <ai> hi there", "1 Ann_Lee hello :)"},
         {.empty = 1, .untagged = 2},
         InputFormat::Transcript},
        {"transcript: blank lines split conversations, '>' inside a name",
         "<a>b> one\n\n<Bob> two\n",
         {},
         {"1 a>b one", "2 Bob two"},
         {},
         InputFormat::Transcript},
        {"tsv: tabs in the text become blanks; lines without a speaker skipped",
         "Bob\thi\tthere\r\n  Ann \t  yo  \r\n\r\n\tno one\r\nBob\tbye\r\nAnn\t\r\n",
         withFormat(InputFormat::Auto, {"ann"}),
         {"1 Bob hi there", "1 <ai> yo", "2 Bob bye"},
         {.empty = 1, .untagged = 1},
         InputFormat::Tsv},
        {"tsv: bot names compared with full case rules",
         "ÉMILE\tbonjour\nZoë\tsalut\n",
         withFormat(InputFormat::Tsv, {"émile"}),
         {"1 <ai> bonjour", "1 Zoë salut"},
         {},
         InputFormat::Tsv},
        {"hostile lines: invalid UTF-8, over-long, control bytes",
         "ok\n\xC3\x28 broken\n" + tooLong + "\nal\x01pha\x7F\n\x01\x02\nlast\xF0\x9F\x99\x82\n",
         withFormat(InputFormat::Plain),
         {"1 $a ok", "1 $b al pha", "1 $a last\xF0\x9F\x99\x82"},
         {.empty = 1, .invalidUtf8 = 1, .tooLong = 1},
         InputFormat::Plain},
        {"--format overrides detection",
         "<Vebix> hi\n<Ann> yo\n",
         withFormat(InputFormat::Plain),
         {"1 $a <Vebix> hi", "1 $b <Ann> yo"},
         {},
         InputFormat::Plain},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        Importer importer(c.options);
        EXPECT_EQ(importer.add(c.bytes), std::nullopt);
        EXPECT_EQ(importer.lastFormat(), c.format);
        EXPECT_EQ(write(importer).lines, c.lines);
        EXPECT_EQ(importer.lineCount(), c.lines.size());
        EXPECT_EQ(importer.skipped().empty, c.skipped.empty);
        EXPECT_EQ(importer.skipped().invalidUtf8, c.skipped.invalidUtf8);
        EXPECT_EQ(importer.skipped().tooLong, c.skipped.tooLong);
        EXPECT_EQ(importer.skipped().untagged, c.skipped.untagged);
    }
}

TEST(Importer, WritesBigImportsInWholeLinesWhateverTheLineEnds) {
    // Enough lines for several output blocks, line ends mixed within an input (so that the
    // records outgrow what was reserved for them), and a speaker name longer than a block has
    // room to spare.
    const std::string longName(3 * kMaxLineBytes, 'n');
    const struct {
        std::string speaker;
        std::string written;
        std::size_t perInput;
    } cases[] = {{"Ann", "Ann", 30000}, {"The " + longName, "The_" + longName, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.perInput);
        std::string first, second;
        const char* ends[] = {"\n", "\r", "\r\n"};
        for (std::size_t i = 0; i < c.perInput; ++i) {
            first += "first line " + std::to_string(i) + ends[i % 3];
            second += "second\tline " + std::to_string(i) + "\r";
        }
        Importer importer(withFormat(InputFormat::Plain, {}, c.speaker));
        ASSERT_EQ(importer.add(first), std::nullopt);
        ASSERT_EQ(importer.add(second), std::nullopt);
        const std::size_t count = 2 * c.perInput;
        ASSERT_EQ(importer.lineCount(), count);
        EXPECT_EQ(importer.conversationCount(), 2u);

        std::vector<std::string> blocks;
        importer.writeLines("7", 1000000,
                            [&](std::string_view block) { blocks.emplace_back(block); });
        EXPECT_GE(blocks.size(), 2u);
        std::string all;
        for (const std::string& block : blocks) {
            EXPECT_TRUE(block.ends_with("\r\n"));
            all += block;
        }
        std::string expected;
        for (std::size_t i = 0; i < count; ++i) {
            const bool inFirst = i < c.perInput;
            expected += std::string("learn-7-") + (inFirst ? "1 " : "2 ") +
                        std::to_string(1000000 - (count - 1 - i)) + " " + c.written + " " +
                        (inFirst ? "first line " : "second line ") +
                        std::to_string(inFirst ? i : i - c.perInput) + "\r\n";
        }
        EXPECT_TRUE(all == expected);  // not EXPECT_EQ: a failure would print megabytes
    }
}

TEST(Importer, DetectsTheFormatFromMostLines) {
    const struct {
        std::string text;
        InputFormat format;
    } cases[] = {
        {"/p/x.mdd\r\n\r\n<Vebix> hi\r\n<Ann> ", InputFormat::Transcript},
        {"a\tb\nc\td\nplain line\n", InputFormat::Tsv},
        {"<html>\nsome text\nmore text\n", InputFormat::Plain},
        {"just talk\n\nmore talk\n", InputFormat::Plain},
        {"\tleading tab only\n\tagain\n", InputFormat::Plain},
        {"", InputFormat::Plain},
    };
    for (const auto& c : cases) EXPECT_EQ(detectFormat(c.text), c.format) << c.text;
}

TEST(Importer, TellsBinaryFilesFromText) {
    std::string mostlyText(4000, 'a');
    mostlyText[100] = '\x01';  // one stray control byte is still text
    std::string controls(1000, 'a');
    for (std::size_t i = 37; i < controls.size(); i += 10) controls[i] = '\x02';
    // A NUL far past the sample still counts; control bytes there do not.
    std::string lateNul(3 * kSampleBytes, 'a');
    lateNul[2 * kSampleBytes + 5] = '\0';
    const std::string lateControls =
        std::string(kSampleBytes, 'a') + std::string(kSampleBytes, '\x02');
    const struct {
        std::string bytes;
        std::optional<std::string> reason;
    } cases[] = {
        {std::string("hello\nwor\0ld\n", 13), "not a text file (binary byte at offset 9)"},
        {controls, "not a text file (binary byte at offset 37)"},
        {"tab\there\r\n\x1b[1mbold\x1b[0m\f\n\xC3\xA9t\xC3\xA9\n", std::nullopt},
        {mostlyText, std::nullopt},
        {lateNul,
         "not a text file (binary byte at offset " + std::to_string(2 * kSampleBytes + 5) + ")"},
        {lateControls, std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(binaryReason(c.bytes), c.reason);
        Importer importer({});
        EXPECT_EQ(importer.add(c.bytes), c.reason);
        if (c.reason) {
            EXPECT_EQ(importer.lineCount(), 0u);
        }
    }
}

TEST(Importer, TimesRiseBySecondsToNowAndKeysAreOwnedPerConversation) {
    Importer importer({});
    // Two inputs: the second starts a conversation of its own though nothing separates them.
    ASSERT_EQ(importer.add("a\nb\n\nc\n"), std::nullopt);
    ASSERT_EQ(importer.add("d\n"), std::nullopt);
    EXPECT_EQ(importer.conversationCount(), 3u);
    const Written w = write(importer, 5000, "4999");
    EXPECT_EQ(w.keys, (std::vector<std::string>{"learn-4999-1", "learn-4999-1", "learn-4999-2",
                                                "learn-4999-3"}));
    EXPECT_EQ(w.times, (std::vector<std::uint32_t>{4997, 4998, 4999, 5000}));

    // More lines than seconds since 1970: the early ones stay at 0, never wrapping around.
    EXPECT_EQ(write(importer, 1, "1").times, (std::vector<std::uint32_t>{0, 0, 0, 1}));
}

TEST(Importer, KeyStampSkipsStampsAnEarlierImportUsed) {
    const struct {
        std::string mind;
        std::string stamp;
    } cases[] = {
        {"", "1000"},
        {"$ 1001 $a hi\r\nAnn 1000 Ann hello\r\n", "1000"},
        {"learn-1000-3 999 $a hi\r\n", "1001"},
        {"LEARN-1000-1 999 $a hi\r\nlearn-1001-7 1000 $b yo\r\n", "1002"},
        {"unlearn-1000-1 999 $a hi\r\n", "1001"},  // avoided too: a free stamp costs nothing
        {"other-1000-1 999 $a hi\r\n", "1000"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseKeyStamp(1000, c.mind), c.stamp) << c.mind;
}

TEST(Importer, FormatNamesReadBack) {
    for (InputFormat f :
         {InputFormat::Auto, InputFormat::Plain, InputFormat::Transcript, InputFormat::Tsv})
        EXPECT_EQ(formatFromName(formatName(f)), f);
    EXPECT_EQ(formatFromName("csv"), std::nullopt);
}

}  // namespace
}  // namespace vebix::cli
