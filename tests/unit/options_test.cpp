// process_options: the option word of the command line and of set, and $-.
#include "support.h"

#include "signals/signals.h"
#include "startup/startup.h"

#include <vector>

namespace {

class Options : public ShellTest {
protected:
    char* saved_command = nullptr;
    void SetUp() override
    {
        ShellTest::SetUp();
        saved_command = command_string;
    }
    void TearDown() override
    {
        command_string = saved_command;
        rebuild_dash_text();
        ShellTest::TearDown();
    }
};

// One call of process_options on a vector of words.
struct Call {
    std::vector<std::string> storage;
    std::vector<char*> argv;
    int left = -1;
    Outcome outcome;

    explicit Call(std::initializer_list<const char*> words)
    {
        for (const char* w : words)
            storage.emplace_back(w);
        for (std::string& w : storage)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(storage.size());
        char** v = argv.data();
        int* result = &left;
        outcome = guarded([argc, v, result] { *result = process_options(argc, v); });
    }

    // The words left, starting with the copy of element 0.
    std::vector<std::string> words_left() const
    {
        std::vector<std::string> words;
        int n = static_cast<int>(storage.size());
        for (int i = n - left; i < n; i++)
            words.emplace_back(argv[static_cast<size_t>(i)]);
        return words;
    }
};

using Words = std::vector<std::string>;

} // namespace

TEST_F(Options, DashTextFollowsTheTableOrder)
{
    Call c({"olm", "-kuerisnvtx"});
    ASSERT_FALSE(c.outcome.failed) << c.outcome.output;
    EXPECT_STREQ(dash_text, "xnvtsierku");
    EXPECT_EQ(shell_flags,
              FLAG_XTRACE | FLAG_NOEXEC | FLAG_VERBOSE | FLAG_ONECMD | FLAG_STDIN | FLAG_INTERACTIVE
                  | FLAG_ERREXIT | FLAG_RESTRICTED | FLAG_KEYWORD | FLAG_NOUNSET);
    EXPECT_EQ(c.left, 1);
    EXPECT_EQ(c.words_left(), Words({"olm"}));
}

TEST_F(Options, ExThenDashTextIsXE)
{
    Call c({"olm", "-ex", "script"});
    EXPECT_STREQ(dash_text, "xe");
    EXPECT_EQ(c.words_left(), Words({"olm", "script"}));
}

TEST_F(Options, OnlyTheFirstWordIsAnOptionWord)
{
    Call c({"olm", "-x", "-v", "a"});
    EXPECT_EQ(shell_flags, FLAG_XTRACE);
    EXPECT_EQ(c.left, 3);
    EXPECT_EQ(c.words_left(), Words({"olm", "-v", "a"}));

    Call plain({"set", "a", "-x"});
    EXPECT_EQ(shell_flags, FLAG_XTRACE);
    EXPECT_EQ(plain.left, 3);
    EXPECT_EQ(plain.words_left(), Words({"set", "a", "-x"}));

    Call alone({"set"});
    EXPECT_EQ(alone.left, 1);
}

TEST_F(Options, CommandTextTakesTheNextWord)
{
    command_string = nullptr;
    Call c({"olm", "-xc", "echo hi", "a", "b"});
    ASSERT_FALSE(c.outcome.failed) << c.outcome.output;
    EXPECT_STREQ(command_string, "echo hi");
    EXPECT_STREQ(dash_text, "x"); // c is never shown
    EXPECT_EQ(c.left, 3);
    EXPECT_EQ(c.words_left(), Words({"olm", "a", "b"}));

    command_string = nullptr;
    Call d({"olm", "-cx", "text"});
    ASSERT_FALSE(d.outcome.failed) << d.outcome.output;
    EXPECT_STREQ(command_string, "text");
    EXPECT_EQ(d.words_left(), Words({"olm"}));
}

TEST_F(Options, CommandTextRefusedWithoutAWordOrTwice)
{
    command_string = nullptr;
    Call missing({"olm", "-c"});
    EXPECT_TRUE(missing.outcome.failed);
    EXPECT_EQ(missing.outcome.output, "-c: bad option(s)\n");
    EXPECT_EQ(missing.outcome.status, 1);
    EXPECT_EQ(command_string, nullptr);

    command_string = nullptr;
    Call twice({"olm", "-cc", "one", "two"});
    EXPECT_TRUE(twice.outcome.failed);
    EXPECT_EQ(twice.outcome.output, "-cc: bad option(s)\n");
    EXPECT_STREQ(command_string, "one");
}

TEST_F(Options, UnknownLetterFailsAfterTheLettersBeforeIt)
{
    Call c({"olm", "-uqx"});
    EXPECT_TRUE(c.outcome.failed);
    EXPECT_EQ(c.outcome.output, "-uqx: bad option(s)\n");
    EXPECT_EQ(c.outcome.status, 1);
    EXPECT_EQ(shell_flags, FLAG_NOUNSET); // u kept, x never reached
    EXPECT_STREQ(dash_text, "u");
}

TEST_F(Options, SetRefusesSICR)
{
    command_string = no_command_string; // as after start-up
    for (const char* word : {"-s", "-i", "-c", "-r", "-xi"}) {
        shell_flags = 0;
        Call c({"set", word, "a"});
        SCOPED_TRACE(word);
        EXPECT_TRUE(c.outcome.failed);
        EXPECT_EQ(c.outcome.output, std::string(word) + ": bad option(s)\n");
        EXPECT_EQ(shell_flags & (FLAG_STDIN | FLAG_INTERACTIVE | FLAG_RESTRICTED), 0u);
    }
    EXPECT_EQ(shell_flags, FLAG_XTRACE); // from -xi: x came first
    EXPECT_STREQ(dash_text, "x");
    EXPECT_EQ(command_string, no_command_string);
}

TEST_F(Options, SetWithLettersAndWords)
{
    Call c({"set", "-xu", "a", "b"});
    ASSERT_FALSE(c.outcome.failed) << c.outcome.output;
    EXPECT_STREQ(dash_text, "xu");
    EXPECT_EQ(c.left, 3);
    EXPECT_EQ(c.words_left(), Words({"set", "a", "b"}));
}

TEST_F(Options, PlusClearsAllowedLettersOnly)
{
    shell_flags = FLAG_XTRACE | FLAG_VERBOSE | FLAG_RESTRICTED | FLAG_INTERACTIVE | FLAG_STDIN | FLAG_NOUNSET;
    Call c({"set", "+xrisq", "a"});
    ASSERT_FALSE(c.outcome.failed) << c.outcome.output;
    EXPECT_EQ(shell_flags, FLAG_VERBOSE | FLAG_RESTRICTED | FLAG_INTERACTIVE | FLAG_STDIN | FLAG_NOUNSET);
    EXPECT_STREQ(dash_text, "vsiru");
    EXPECT_EQ(c.words_left(), Words({"set", "a"}));

    Call bare({"set", "+"});
    EXPECT_EQ(bare.left, 1);
    EXPECT_EQ(shell_flags, FLAG_VERBOSE | FLAG_RESTRICTED | FLAG_INTERACTIVE | FLAG_STDIN | FLAG_NOUNSET);
}

TEST_F(Options, LoneDashClearsTraceAndVerbose)
{
    shell_flags = FLAG_XTRACE | FLAG_VERBOSE | FLAG_NOUNSET | FLAG_PROMPT;
    Call c({"set", "-", "a"});
    EXPECT_EQ(shell_flags, FLAG_NOUNSET | FLAG_PROMPT);
    EXPECT_STREQ(dash_text, "u");
    EXPECT_EQ(c.words_left(), Words({"set", "a"}));
}

TEST_F(Options, DoubleDashEndsOptionsChangingNoFlag)
{
    shell_flags = FLAG_XTRACE;
    Call c({"set", "--", "-v", "b"});
    EXPECT_EQ(shell_flags, FLAG_XTRACE);
    EXPECT_EQ(c.left, 3);
    EXPECT_EQ(c.words_left(), Words({"set", "-v", "b"}));

    Call d({"set", "--anything"});
    EXPECT_FALSE(d.outcome.failed);
    EXPECT_EQ(shell_flags, FLAG_XTRACE);
    EXPECT_EQ(d.left, 1);
}

TEST_F(Options, StateBitsAreLeftAlone)
{
    shell_flags = FLAG_PROMPT;
    Call c({"set", "-x"});
    EXPECT_EQ(shell_flags, FLAG_PROMPT | FLAG_XTRACE);
    EXPECT_STREQ(dash_text, "x");
}
