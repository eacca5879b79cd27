// The decimal conversions, the times layout and the output primitives.
#include "support.h"

#include "output/output.h"
#include "platform/platform.h"
#include "signals/signals.h"
#include "startup/startup.h"

namespace {

class Output : public ShellTest {};

struct NumberCase {
    const char* text;
    bool fails;
    int32_t value;
};

} // namespace

TEST_F(Output, TextToNumber)
{
    const NumberCase cases[] = {
        {"0", false, 0},
        {"007", false, 7},
        {"12abc", false, 12},
        {"12 3", false, 12},
        {"2147483647", false, 2147483647},
        {"02147483647", false, 2147483647},
        {"3\xb4", false, 3}, // a marked digit ends the digits
        {"", true, 0},
        {"-1", true, 0},
        {"+1", true, 0},
        {" 1", true, 0},
        {"abc", true, 0},
        {"\xb1", true, 0},
        {"2147483648", true, 0},
        {"4294967296", true, 0},
        {"99999999999999999999999", true, 0},
    };
    for (const NumberCase& c : cases) {
        int32_t value = -1;
        const char* text = c.text;
        exit_status = 0;
        Outcome o = guarded([&] { value = text_to_number(text); });
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        EXPECT_EQ(o.failed, c.fails);
        if (c.fails) {
            // The subject is the text itself, shown without marks.
            std::string plain;
            for (const char* p = c.text; *p; p++)
                plain += static_cast<char>(*p & 0x7f);
            EXPECT_EQ(o.output, plain + ": bad number\n");
            EXPECT_EQ(o.status, 1);
        } else {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(o.output, "");
        }
    }
}

TEST_F(Output, BadNumberCarriesTheScriptPrefix)
{
    char name[] = "script";
    char* saved = dollar_zero;
    dollar_zero = name;
    Outcome o = guarded([] { text_to_number("x1"); });
    dollar_zero = saved;
    EXPECT_EQ(o.output, "script: x1: bad number\n");
}

TEST_F(Output, NumberToTextHasNoFillOrSign)
{
    const std::pair<int32_t, const char*> numbers[] = {
        {0, "0"}, {7, "7"}, {10, "10"}, {100000, "100000"}, {2147483647, "2147483647"}};
    for (auto [n, text] : numbers) {
        number_to_text(n);
        EXPECT_STREQ(number_text, text);
    }
    const std::pair<uint64_t, const char*> longs[] = {
        {0, "0"},
        {10000000000ULL, "10000000000"},
        {18446744073709551615ULL, "18446744073709551615"}};
    for (auto [n, text] : longs) {
        long_to_text(n);
        EXPECT_STREQ(number_text, text);
    }
    // A shorter number overwrites a longer one completely.
    long_to_text(123456789);
    number_to_text(5);
    EXPECT_STREQ(number_text, "5");
}

TEST_F(Output, TimesRoundToWholeSecondsInHoursMinutesSeconds)
{
    const struct {
        clock_t ticks;
        long rate;
        const char* text;
    } cases[] = {
        {0, 60, "0m0s"},
        {29, 60, "0m0s"},
        {30, 60, "0m1s"},
        {89, 60, "0m1s"},
        {90, 60, "0m2s"},
        {75 * 60, 60, "1m15s"},
        {3599 * 60, 60, "59m59s"},
        {3599 * 60 + 30, 60, "1h0m0s"}, // rounds up to a whole hour
        {3725 * 60, 60, "1h2m5s"},
        {(25 * 3600 + 60) * 60, 60, "25h1m0s"},
        {49, 100, "0m0s"},
        {50, 100, "0m1s"},
        {7500, 100, "1m15s"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(format_times(c.ticks, c.rate), c.text) << c.ticks << " ticks at " << c.rate;
}

TEST_F(Output, PutTimesUsesTheSystemTickRate)
{
    long rate = platform_clock_ticks();
    ASSERT_GT(rate, 1);
    Outcome o = guarded([rate] {
        put_times(static_cast<clock_t>(75 * rate));
        put_blank();
        put_times(static_cast<clock_t>(rate / 2 - 1));
        put_blank();
        put_times(static_cast<clock_t>(3725 * rate));
        put_newline();
    });
    EXPECT_EQ(o.output, "1m15s 0m0s 1h2m5s\n");
}

TEST_F(Output, PrimitivesWriteNothingForNullAndZero)
{
    Outcome o = guarded([] {
        put_string(nullptr);
        put_char(0);
        put_char(0x100); // only the low byte counts, and it is 0
        put_string("");
        put_string("ab");
        put_char('c' | 0x100);
        put_number(42);
        put_long(10000000000ULL);
        put_plain(nullptr);
        put_plain("\xe4\x80x"); // marks removed, the empty-quoted byte dropped
    });
    EXPECT_EQ(o.output, "abc4210000000000dx");
}

TEST_F(Output, PrefixOnlyWhenTheShellDoesNotPrompt)
{
    char name[] = "script";
    char* saved = dollar_zero;
    dollar_zero = name;
    Outcome plain = guarded([] { put_prefix(); });
    shell_flags |= FLAG_PROMPT;
    Outcome prompting = guarded([] { put_prefix(); });
    shell_flags &= ~FLAG_PROMPT;
    dollar_zero = nullptr;
    Outcome unnamed = guarded([] { put_prefix(); });
    dollar_zero = saved;
    EXPECT_EQ(plain.output, "script: ");
    EXPECT_EQ(prompting.output, "");
    EXPECT_EQ(unnamed.output, "");
}
