// tolva-cli translate driven as a process, as a script would run it, plus the terminal
// helpers it shows the run through.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/terminal.h"
#include "resources/strings.h"
#include "support/cli_process.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::CliResult;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kBookmarks =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
    "<DT><H3>Folder</H3>\n<DL><p>\n<DT><A HREF=\"http://example.com/\">Example</A>\n</DL><p>\n</DL><p>\n";

class TranslateCommandTest : public ::testing::Test {
protected:
    // Runs tolva-cli with args, an empty stdin (no terminal) and a settings folder of its own.
    CliResult Run(const std::vector<std::string>& args) {
        return testing::CliProcess(dir.Path().string()).Run(args, {.environment = {"XDG_CONFIG_HOME=" + config}});
    }

    TempDir dir;
    std::string config = dir.File("config");
    std::string source = dir.File("bookmarks.html");
    std::string destination = dir.File("copy.html");
};

TEST_F(TranslateCommandTest, TranslatesRemembersAndExitsZero) {
    WriteFile(source, kBookmarks);
    CliResult result = Run({"translate", "--source-format", "netscape", "--source", source, "--destination-format",
                            "netscape", "--destination", destination});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "Now reading the URL set.\nNetscape file loaded.\nNow converting the URL set.\nNow converting the URL "
              "set.\nNow saving the destination URL set.\nURL set converted.\n1 links and 1 folders written; 0 names "
              "adapted.\n")
        << "counters are not printed without a terminal";
    std::string written = ReadFile(destination);
    EXPECT_NE(written.find("<DT><H3>Folder</H3>"), std::string::npos);
    EXPECT_NE(written.find("<DT><A HREF=\"http://example.com/\">Example</A>"), std::string::npos);

    // A second run to the same list keeps the earlier entry below the new one.
    const std::string second = dir.File("second.html");
    ASSERT_EQ(Run({"translate", "--source-format", "netscape", "--source", source, "--destination-format", "netscape",
                   "--destination", second, "--no-fix-ampersands"})
                  .exitCode,
              0);
    std::string store = ReadFile(config + "/tolva/registry.reg");
    EXPECT_NE(store.find("[HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentNetNav]\n\"0\"=\"" + second +
                         "\"\n\"1\"=\"" + destination + "\"\n"),
              std::string::npos)
        << store;
}

TEST_F(TranslateCommandTest, FailuresExitOneWithTheirMessagesOnStderr) {
    struct FailureCase {
        std::vector<std::string> args;
        std::string message;
    };
    WriteFile(destination, "already here");
    const std::string empty = dir.File("links.html");
    WriteFile(empty, "<!DOCTYPE html>\n<html><body><p><a href=\"#top\">Top</a> Nothing saved yet.</p></body></html>\n");
    const std::vector<FailureCase> cases = {
        {{"translate"}, LoadString(IDS_CAPTION) + ": " + LoadString(IDS_NO_SOURCE)},
        {{"translate", "--source-format", "", "--source", source}, LoadString(IDS_CAPTION) + ": " + LoadString(IDS_NO_SOURCE)},
        {{"translate", "--source-format", "mosaic", "--source", source},
         LoadString(IDS_CAPTION) + ": " + LoadString(IDS_NO_DESTINATION)},
        {{"translate", "--source-format", "netscape", "--source", dir.File("missing.html"), "--destination-format",
          "netscape", "--destination", dir.File("new.html")},
         "Tolva: Convert was unable to open the source URL set.\n"},
        // A page with no link is never written out as an empty set.
        {{"translate", "--source", empty, "--destination", dir.File("none.html")},
         "Tolva: No links found in " + empty + ".  Nothing was written.\n"},
    };
    for (const FailureCase& c : cases) {
        CliResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.html")));
}

TEST_F(TranslateCommandTest, ExistingDestinationIsLeftAsItWasWithoutAnAnswer) {
    WriteFile(source, kBookmarks);
    WriteFile(destination, "already here");
    CliResult result = Run({"translate", "--source-format", "netscape", "--source", source, "--destination-format",
                            "netscape", "--destination", destination});
    EXPECT_EQ(result.exitCode, 1);
    // The backup question's No would delete the file, so it is neither guessed nor answered.
    EXPECT_NE(result.err.find(LoadString(IDS_ASK_BACKUP)), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("--yes or --no"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(destination), "already here");
    EXPECT_FALSE(std::filesystem::exists(destination + ".bak"));
    // Cancelled, not failed: no message that the set exists or could not be opened follows.
    EXPECT_EQ(result.err.find(FormatString(IDS_SET_EXISTS, {destination})), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(LoadString(IDS_MSG_UNABLE_TO_OPEN_DESTINATION)), std::string::npos) << result.err;
    EXPECT_NE(result.out.find(LoadString(IDS_STATUS_TRANSLATION_CANCELED)), std::string::npos) << result.out;
}

// Regression: SIGKILL at random moments left a truncated destination, with a backup or without.
TEST_F(TranslateCommandTest, KilledAtAnyMomentLeavesTheDestinationOldOrNewWhole) {
    std::string big = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int i = 0; i < 50000; ++i) {
        big += "<DT><A HREF=\"http://example.com/" + std::to_string(i) + "\">Link " + std::to_string(i) + "</A>\n";
    }
    WriteFile(source, big + "</DL><p>\n");
    const std::vector<std::string> args = {"translate", "--source-format",      "netscape", "--source",
                                           source,      "--destination-format", "netscape", "--destination",
                                           destination};
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run(args).exitCode, 0);
    const auto wholeRun = std::chrono::steady_clock::now() - started;
    const std::string fresh = ReadFile(destination);
    const std::string old = "previous content\n";

    const testing::CliProcess cli(dir.Path().string());
    constexpr int kKills = 20;
    for (int kill = 0; kill < kKills; ++kill) {
        WriteFile(destination, old);
        std::vector<std::string> answered = args;
        answered.push_back(kill % 2 ? "--yes" : "--no");
        const pid_t child = cli.Start(answered, {.environment = {"XDG_CONFIG_HOME=" + config}});
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(wholeRun * kill / kKills);
        ::kill(child, SIGKILL);
        cli.Finish(child);
        const std::string left = ReadFile(destination);
        EXPECT_TRUE(left == old || left == fresh) << "kill " << kill << ": " << left.size() << " bytes";
        if (std::filesystem::exists(destination + ".bak")) {
            const std::string backup = ReadFile(destination + ".bak");
            EXPECT_TRUE(backup == old || backup == fresh) << "kill " << kill << ": " << backup.size() << " bytes";
        }
    }
    // The next run clears what the killed ones left behind, the backup's temporaries too even
    // when it keeps no backup (a kill between making one and renaming it is rarely hit above).
    const std::filesystem::path parent = std::filesystem::path(destination).parent_path();
    const std::string base = std::filesystem::path(destination).filename().string();
    WriteFile((parent / ("." + base + ".bak.tolva-999999999-0")).string(), old);
    std::vector<std::string> replace = args;
    replace.push_back("--no");
    ASSERT_EQ(Run(replace).exitCode, 0);
    EXPECT_EQ(ReadFile(destination), fresh);
    for (const std::string& name : testing::Tree(dir.Path()))
        EXPECT_EQ(name.find(".tolva-"), std::string::npos) << name;
}

TEST_F(TranslateCommandTest, SettingsFileItCannotParseIsLeftForThePerson) {
    WriteFile(source, kBookmarks);
    std::filesystem::create_directories(config + "/tolva");
    const std::string broken = "not a registry file\n";
    WriteFile(config + "/tolva/registry.reg", broken);
    CliResult result = Run({"translate", "--source-format", "netscape", "--source", source, "--destination-format",
                            "netscape", "--destination", destination});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("cannot be read"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(config + "/tolva/registry.reg"), broken);
}

TEST_F(TranslateCommandTest, UsageErrorsExitTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"translate", "--source-format", "html"},
             {"translate", "--yes", "--no"},
             {"translate", "--unknown"},
         }) {
        EXPECT_EQ(Run(args).exitCode, 2) << args[1];
    }
    const CliResult help = Run({"translate", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    // A paired flag reads as its two names, without the parser's own notation for the second.
    EXPECT_NE(help.out.find("  --fix-ampersands,--no-fix-ampersands\n"), std::string::npos) << help.out;
    // Without a command named first, every command is there to be listed.
    const CliResult overview = Run({"--help"});
    for (const std::string command : {"translate", "verify", "locations", "merge"}) {
        EXPECT_NE(overview.out.find("\n  " + command + " "), std::string::npos) << overview.out;
    }
}

// Everything a Terminal printed to a stream.
std::string Printed(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string text;
    for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text += static_cast<char>(c);
    return text;
}

std::chrono::steady_clock::time_point fakeNow{};
std::chrono::steady_clock::time_point FakeClock() { return fakeNow; }

TEST(TerminalTest, CountersAreThrottledOnATerminalAndDroppedElsewhere) {
    std::FILE* status = std::tmpfile();
    std::FILE* messages = std::tmpfile();
    ASSERT_TRUE(status && messages);
    {
        cli::Terminal terminal(status, messages, true, {IDS_STATUS_READING_LINE}, &FakeClock);
        // A thousand lines in 100 ms, then one more a second later.
        for (int line = 1; line <= 1000; ++line) {
            fakeNow += std::chrono::microseconds(100);
            terminal.Status(FormatString(IDS_STATUS_READING_LINE, {line}));
        }
        fakeNow += std::chrono::seconds(1);
        terminal.Status("Reading line 1001");
        terminal.Status("Netscape file loaded.");
        terminal.Message("Error 28 writing Netscape line", "Tolva");
    }
    std::string shown = Printed(status);
    // The counter line is rewritten in place, then ended for the next text.
    EXPECT_EQ(shown, "\rReading line 1\rReading line 1001\nNetscape file loaded.\n");
    EXPECT_EQ(Printed(messages), "Tolva: Error 28 writing Netscape line\n");
    std::fclose(status);
    std::fclose(messages);

    std::FILE* piped = std::tmpfile();
    {
        cli::Terminal terminal(piped, piped, false, {IDS_STATUS_READING_LINE, IDS_CONVERTING_LINK});
        terminal.Status("Reading line 7");
        terminal.Status("Converting link 1 of 2");
        terminal.Status("Reading the rest");
    }
    EXPECT_EQ(Printed(piped), "Reading the rest\n");
    std::fclose(piped);
}

TEST(TerminalPrompterTest, FlagsAnswerAndNobodyToAskEndsTheProgram) {
    std::FILE* sink = std::tmpfile();
    cli::Terminal terminal(sink, sink, false, {});
    cli::TerminalPrompter yes(terminal, cli::AnswerPolicy::Yes);
    cli::TerminalPrompter no(terminal, cli::AnswerPolicy::No);
    EXPECT_TRUE(yes.AskYesNo("Replace?", LoadString(IDS_CAPTION)));
    EXPECT_FALSE(no.AskYesNo("Replace?", LoadString(IDS_CAPTION)));
    EXPECT_EQ(yes.AskYesNoCancel("Back up?", LoadString(IDS_CAPTION)), Answer::Yes);
    EXPECT_EQ(no.AskYesNoCancel("Back up?", LoadString(IDS_CAPTION)), Answer::No);
    // The backup question's No loses the file, so with nobody to ask it is cancelled, not guessed.
    std::FILE* noTerminal = std::tmpfile();
    cli::TerminalPrompter nobody(terminal, cli::AnswerPolicy::Ask, noTerminal);
    EXPECT_EQ(nobody.AskYesNoCancel("Back up?", LoadString(IDS_CAPTION)), Answer::Cancel);
    std::fclose(noTerminal);
    EXPECT_NE(Printed(sink).find(LoadString(IDS_CAPTION) + ": Replace?\n"), std::string::npos);
    std::fclose(sink);

    std::FILE* notATerminal = std::tmpfile();
    EXPECT_EXIT(
        {
            cli::Terminal errTerminal(stdout, stderr, false, {});
            cli::TerminalPrompter ask(errTerminal, cli::AnswerPolicy::Ask, notATerminal);
            ask.AskYesNo("Replace?", LoadString(IDS_CAPTION));
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "--yes or --no");
    std::fclose(notATerminal);
}

}  // namespace
}  // namespace tolva
