// The pure pieces: option parsing, JSON text, progress texts, enrolment times, the help.
#include <gmock/gmock.h>

#include <cstring>

#include <fstream>
#include <set>
#include <sstream>

#include "cli/commands.h"
#include "cli/enroll_time_text.h"
#include "cli/input_rules.h"
#include "cli/json.h"
#include "cli/options.h"
#include "cli/sample_status.h"
#include "cli/terminal_text.h"
#include "tests/common/utc_time.h"

namespace kelvora::cli {
namespace {

using ::testing::HasSubstr;

TEST(OptionsTest, OptionsAnywhereAndTheirErrors) {
    CliOptions options;
    EXPECT_EQ(
        ParseOptions({"fingerprints", "--json", "enroll", "--name=Home", "--pin-fd", "5"}, options),
        "");
    EXPECT_EQ(options.words, (std::vector<std::string>{"fingerprints", "enroll"}));
    EXPECT_TRUE(options.json);
    EXPECT_EQ(options.name, "Home");
    EXPECT_EQ(options.pinSource, PinSource::kFd);
    EXPECT_EQ(options.pinFd, 5);

    const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
        {{"info", "--frob"}, "unknown option --frob"},
        {{"info", "--device"}, "--device needs a value"},
        {{"info", "--pin-fd", "x"}, "file descriptor"},
        {{"info", "--pin-fd", "-1"}, "file descriptor"},
        {{"info", "--json=1"}, "takes no value"},
        {{"pin", "verify", "--pin", "1234"}, "add --insecure-pin-argument"},
        {{"pin", "change", "--new-pin=1234"}, "add --insecure-pin-argument"},
    };
    for (const auto& [args, message] : errors) {
        CliOptions bad;
        EXPECT_THAT(ParseOptions(args, bad), HasSubstr(message));
    }
    // What the process list shows of the arguments once the options were read.
    std::string line = "kelvora-fido2 --pin 1234 --new-pin=5678 -- --pin 9999";
    std::vector<char*> argv;
    for (char* word = std::strtok(line.data(), " "); word != nullptr;
         word = std::strtok(nullptr, " ")) {
        argv.push_back(word);
    }
    WipePinArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(line, std::string("kelvora-fido2\0--pin\0\0\0\0\0\0--new-pin=\0\0\0\0\0--\0--pin\0"
                                "9999",
                                line.size()));
    CliOptions words;
    EXPECT_EQ(ParseOptions({"fingerprints", "rename", "--", "1", "--json"}, words), "");
    EXPECT_EQ(words.words.back(), "--json");
    // A credential id may begin with a dash; a mistyped option of one dash stays an error.
    CliOptions id;
    EXPECT_EQ(
        ParseOptions({"passkeys", "delete", "-pZfpUP1SKerlFqtCZUqtcC_5iJXAsgg94iXaGbJ4fE"}, id),
        "");
    EXPECT_EQ(id.words.back(), "-pZfpUP1SKerlFqtCZUqtcC_5iJXAsgg94iXaGbJ4fE");
    for (const char* typo : {"-json", "-x", "-pin-stdin-and-more-words!"}) {
        CliOptions bad;
        EXPECT_THAT(ParseOptions({"info", typo}, bad), HasSubstr("unknown option")) << typo;
    }
}

TEST(JsonTest, EscapesControlCharactersKeepsOrderAndNeverThrows) {
    Json object = {{"b", "quote\" back\\ nl\n tab\t \x01"}, {"a", {1, true, nullptr}}};
    object["b"] = "replaced";
    EXPECT_EQ(DumpJson(object), R"({"b":"replaced","a":[1,true,null]})");
    EXPECT_EQ(DumpJson("quote\" back\\ nl\n \x01"), R"("quote\" back\\ nl\n \u0001")");
    // A name in another encoding: still valid JSON, the stray byte replaced.
    EXPECT_EQ(DumpJson("\x8E\x77\xE6\x8C\x87"), "\"\xEF\xBF\xBDw\xE6\x8C\x87\"");
}

TEST(SampleStatusTest, EveryCtapStatusHasItsOwnText) {
    std::set<std::string> texts;
    for (int status = 0; status <= 14; ++status) {
        const std::string text = SampleStatusText(status);
        EXPECT_THAT(text, ::testing::Not(HasSubstr("unknown"))) << status;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 15U);
    EXPECT_THAT(SampleStatusText(15), HasSubstr("unknown"));
    EXPECT_EQ(SampleStatusText(-1), "no status");
}

TEST(EnrollTimeTest, StampsInLocalTime) {
    const LocalTimeFunction plusNine = [](std::time_t when) {
        constexpr std::time_t kNineHours = 9 * 3600;
        return kelvora::test::UtcTime(when + kNineHours);
    };
    const struct {
        std::string name;
        std::string expected;
    } cases[] = {
        {"20241231200000Home", "2025-01-01 05:00:00"},
        {"20240229235959\x8E\x77\x96\xE4", "2024-03-01 08:59:59"},
        {"20230229000000Home", ""},  // no such day
        {"19691231235959Home", ""},
        {"2024013A000000Home", ""},
        {"-----------Home", ""},
        {"Fingerprint 1 long name", ""},
        {"short", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EnrollTimeText(c.name, plusNine), c.expected) << c.name;
    }
}

TEST(TerminalTextTest, ControlCharactersFromTheKeyAreShownNotObeyed) {
    const std::pair<std::string, std::string> rows[] = {
        {"Kelvora Key 3", "Kelvora Key 3"},
        {"\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},  // sets the window title
        {"a\rb\nc\x7F", "a\\x0Db\\x0Ac\\x7F"},
        {"\xC2\x9B"
         "2J",
         "\\u009B2J"},  // C1 CSI: clears the screen
        {"Schl\xC3\xBCssel \xE6\x8C\x87", "Schl\xC3\xBCssel \xE6\x8C\x87"},
        {"\xC2", "\xC2"},
    };
    for (const auto& [raw, shown] : rows) {
        EXPECT_EQ(TerminalSafe(raw), shown) << shown;
    }
}

TEST(InputRulesTest, SlotsAndNames) {
    EXPECT_EQ(ParseSlot("0"), 0);
    EXPECT_EQ(ParseSlot("255"), 255);
    for (const char* bad : {"256", "", "-1", "1x", "+1", "99999999999"}) {
        EXPECT_EQ(ParseSlot(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(NameProblem("ab"), "");
    EXPECT_EQ(NameProblem("\xE6\x8C\x87\xE7\xB4\x8B"), "");  // two characters, six bytes
    EXPECT_THAT(NameProblem("\xE6\x8C\x87"), HasSubstr("at least 2"));
    EXPECT_THAT(NameProblem("123456789"), HasSubstr("at most 8"));
}

TEST(HelpTest, EveryTopicHasHelpAndTheDocsCarryIt) {
    std::ifstream file(KELVORA_SOURCE_DIR "/docs/cli.md");
    std::stringstream docs;
    docs << file.rdbuf();
    for (const auto& topic : HelpTopics()) {
        const std::string help = HelpText(topic);
        ASSERT_FALSE(help.empty());
        EXPECT_THAT(docs.str(), HasSubstr(help)) << "docs/cli.md is stale; regenerate it";
    }
    EXPECT_EQ(HelpText({"nope"}), "");
}

}  // namespace
}  // namespace kelvora::cli
