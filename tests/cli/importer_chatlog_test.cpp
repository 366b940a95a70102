// The chat logs people have, read into mind lines: each format's small fixture (written for the
// project), what is skipped, where conversations start, how the format is told, and the nick
// filters.
#include <gtest/gtest.h>

#include <QFile>

#include <string>
#include <vector>

#include "app/cli/importer.h"
#include "app/cli/importer_chatlog.h"
#include "engine/ai/mindline.h"
#include "engine/base/lines.h"

namespace vebix::cli {
namespace {

std::string fixture(const char* name) {
    QFile file(QStringLiteral(VEBIX_TEST_DATA_DIR "/chatlogs/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll().toStdString();
}

// The written mind lines as "conversation speaker text".
std::vector<std::string> written(const Importer& importer) {
    std::string bytes;
    importer.writeLines("1", 1700000000, [&](std::string_view block) { bytes += block; });
    std::vector<std::string> lines;
    forEachLine(bytes, [&](std::string_view line) {
        if (line.empty()) return;
        const MindLine m = parseLine(line, AiSuffix::Keep);
        lines.push_back(std::string(m.key.substr(std::string_view("learn-1-").size())) + " " +
                        std::string(m.speaker) + " " + std::string(m.text));
    });
    return lines;
}

ImportOptions readAs(InputFormat format) {
    ImportOptions options;
    options.format = format;
    return options;
}

struct LogCase {
    const char* file;
    InputFormat format;
    std::vector<std::string> lines;
    std::size_t events;
    SkippedLines other;  // the rest of what was skipped
};

const std::vector<std::string> kGardenDay1 = {"1 ann Good morning, anyone here?",
                                              "1 bob morning ann", "1 bob bob waters the tomatoes",
                                              "1 carol do you grow basil too?"};

TEST(ChatLogs, EachFormatsFixtureIsReadIntoMindLines) {
    auto day1And2 = [](std::vector<std::string> more) {
        std::vector<std::string> all = kGardenDay1;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const LogCase cases[] = {
        {"irssi.log",
         InputFormat::Irssi,
         day1And2({"2 bob the basil came up overnight", "2 Ann lovely!"}),
         6,
         {}},
        {"weechat.log",
         InputFormat::Weechat,
         day1And2({"2 bob the basil came up overnight"}),
         4,
         {}},
        {"znc.log", InputFormat::Znc, kGardenDay1, 4, {}},
        {"telegram-result.json",
         InputFormat::Telegram,
         {"1 Ann Good morning, anyone here?", "1 Bob_Smith morning Ann!",
          "2 Bob_Smith the basil came up overnight \xE2\x80\x93 \"finally\"",
          "3 Carol do you grow basil too?"},
         1,
         {.empty = 1, .untagged = 1}},
        {"telegram-chat.json",
         InputFormat::Telegram,
         {"1 Carol do you grow basil too?", "1 Ann yes, on the window sill"},
         0,
         {}},
        {"whatsapp-android.txt",
         InputFormat::Whatsapp,
         {"1 Ann Good morning, anyone here?", "1 Bob_Smith morning Ann the tomatoes need water",
          "2 Bob_Smith the basil came up overnight"},
         3,
         {}},
        {"whatsapp-ios.txt",
         InputFormat::Whatsapp,
         {"1 Ann Good morning, anyone here?", "1 Bob_Smith morning Ann  see you later",
          "2 Bob_Smith the basil came up overnight"},
         2,
         {}},
    };
    for (const LogCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = fixture(c.file);
        EXPECT_EQ(detectFormat(bytes), c.format);
        Importer importer({});
        ASSERT_EQ(importer.add(bytes), std::nullopt);
        EXPECT_EQ(importer.lastFormat(), c.format);
        EXPECT_EQ(written(importer), c.lines);
        EXPECT_EQ(importer.skipped().events, c.events);
        EXPECT_EQ(importer.skipped().empty, c.other.empty);
        EXPECT_EQ(importer.skipped().untagged, c.other.untagged);
        EXPECT_EQ(importer.skipped().tooLong + importer.skipped().invalidUtf8, 0u);
    }
}

TEST(ChatLogs, NicksAreLeftOutOrTakenAloneIgnoringCase) {
    const std::string irssi = fixture("irssi.log");
    const struct {
        std::vector<std::string> ignore, only;
        std::vector<std::string> lines;
        std::size_t filtered;
    } cases[] = {
        {{"BOB"},
         {},
         {"1 ann Good morning, anyone here?", "1 carol do you grow basil too?", "2 Ann lovely!"},
         3},
        {{}, {"ann"}, {"1 ann Good morning, anyone here?", "2 Ann lovely!"}, 4},
        {{"ann"}, {"ann", "carol"}, {"1 carol do you grow basil too?"}, 5},
    };
    for (const auto& c : cases) {
        ImportOptions options;
        options.ignoreNicks = c.ignore;
        options.onlyNicks = c.only;
        Importer importer(options);
        ASSERT_EQ(importer.add(irssi), std::nullopt);
        EXPECT_EQ(written(importer), c.lines);
        EXPECT_EQ(importer.skipped().filtered, c.filtered);
    }
    // The filters hold for the other formats too, and the bot's name still makes its lines <ai>.
    ImportOptions options;
    options.onlyNicks = {"bob smith", "ann"};
    options.botNames = {"Bob Smith"};
    Importer importer(options);
    const std::string whatsapp = fixture("whatsapp-android.txt");  // the importer keeps views
    ASSERT_EQ(importer.add(whatsapp), std::nullopt);
    EXPECT_EQ(written(importer),
              (std::vector<std::string>{"1 Ann Good morning, anyone here?",
                                        "1 <ai> morning Ann the tomatoes need water",
                                        "2 <ai> the basil came up overnight"}));
}

TEST(ChatLogs, FormatsAreToldApartAndOthersAreNotTakenForLogs) {
    const struct {
        std::string text;
        InputFormat format;
    } cases[] = {
        // A log with a few lines of another kind is still the log.
        {"12:00 <ann> hi\n12:01 <bob> yo\nsomething else\n", InputFormat::Irssi},
        {"[12:00] <ann> hi\n[12:01:02] * bob waves\n", InputFormat::Znc},
        {"2024-01-01 12:00:00\tann\thi\n2024-01-01 12:00:01\tbob\tyo\n", InputFormat::Weechat},
        {"12/31/23, 10:15\xE2\x80\xAFPM - Ann: hi\nmore\nmore\n12/31/23, 10:16\xE2\x80\xAFPM - Bob: yo\n",
         InputFormat::Whatsapp},
        {"  {\"name\": \"x\", \"messages\": []}", InputFormat::Telegram},
        // Times at the start of lines of plain text, a tsv with dates, JSON that is no export.
        {"12:00 is lunch time\n13:00 is nap time\n", InputFormat::Plain},
        {"2024-01-01\thello\n2024-01-02\tbye\n", InputFormat::Tsv},
        {"{\"key\": 1}\n", InputFormat::Plain},
        {"<ann> a transcript\n<bob> line\n", InputFormat::Transcript},
    };
    for (const auto& c : cases) EXPECT_EQ(detectFormat(c.text), c.format) << c.text;
    for (const char* name : {"irssi", "weechat", "znc", "telegram", "whatsapp"}) {
        const auto format = formatFromName(name);
        ASSERT_TRUE(format) << name;
        EXPECT_EQ(formatName(*format), name);
    }
}

TEST(ChatLogs, BrokenAndHostileInputs) {
    // JSON that breaks off: the file is refused whole, nothing taken from it.
    std::string json = fixture("telegram-result.json");
    Importer importer(readAs(InputFormat::Telegram));
    const auto reason = importer.add(std::string_view(json).substr(0, json.size() / 2));
    ASSERT_TRUE(reason);
    EXPECT_TRUE(reason->starts_with("not a Telegram export (")) << *reason;
    EXPECT_EQ(importer.lineCount(), 0u);
    EXPECT_TRUE(importer.add("[1, 2, 3]").has_value());

    // Lines a log cannot hold: over-long, not UTF-8, with control bytes, a nick alone.
    const std::string longText(kMaxLineBytes + 1, 'x');
    const std::string log = "12:00 <ann> " + longText +
                            "\n12:01 <bob> caf\xE9\n12:02 <carol> \x1b[31mred\x07\n" +
                            "12:03 <dave>\n12:04 <>\n12:05 unknown\nnot a line of the log\n";
    Importer lines(readAs(InputFormat::Irssi));
    ASSERT_EQ(lines.add(log), std::nullopt);
    EXPECT_EQ(written(lines), std::vector<std::string>{"1 carol [31mred"});
    EXPECT_EQ(lines.skipped().tooLong, 1u);
    EXPECT_EQ(lines.skipped().invalidUtf8, 1u);
    EXPECT_EQ(lines.skipped().empty, 1u);
    EXPECT_EQ(lines.skipped().events, 2u);    // "<>" and "unknown" after a time
    EXPECT_EQ(lines.skipped().untagged, 1u);  // no time at all

    // A WhatsApp message going on past the longest line keeps what fits.
    std::string whatsapp = "1/1/24, 9:00 - Ann: start\n";
    for (int i = 0; i < 2000; ++i) whatsapp += "and more and more text\n";
    Importer long_(readAs(InputFormat::Whatsapp));
    ASSERT_EQ(long_.add(whatsapp), std::nullopt);
    const auto got = written(long_);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_LE(got[0].size(), kMaxLineBytes + 10);
    EXPECT_GT(got[0].size(), kMaxLineBytes / 2);
}

}  // namespace
}  // namespace vebix::cli
