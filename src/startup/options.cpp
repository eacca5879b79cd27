// The option word of the command line and of set, and the text of $-.
#include "startup/startup.h"

#include "signals/signals.h"
#include "storage/storage.h"

constinit ShellFlags shell_flags = 0;
constinit char dash_text[DASH_TEXT_SIZE] = {};

void rebuild_dash_text()
{
    char* p = dash_text;
    for (const OptionLetter* o = option_table; o->letter; o++)
        if (shell_flags & o->bit)
            *p++ = o->letter;
    *p = 0;
}

static ShellFlags letter_bit(char c)
{
    for (const OptionLetter* o = option_table; o->letter; o++)
        if (o->letter == c)
            return o->bit;
    return 0;
}

int process_options(int argc, char** argv)
{
    int consumed = 0;
    if (argc >= 2 && (argv[1][0] == '-' || argv[1][0] == '+')) {
        char* word = argv[1];
        if (word[0] == '-' && word[1] == 0) {
            shell_flags &= ~(FLAG_XTRACE | FLAG_VERBOSE);
            consumed = 1;
        } else if (word[0] == '-' && word[1] == '-') {
            argv[1] = argv[0];
            return argc - 1;
        } else if (word[0] == '-') {
            bool from_set = compare_strings(argv[0], "set") == 0;
            consumed = 1;
            for (const char* p = word + 1; *p; p++) {
                ShellFlags bit = letter_bit(*p);
                if (bit) {
                    if (from_set && char_in_set(*p, SET_REFUSED_LETTERS)) {
                        rebuild_dash_text();
                        fail(word, "bad option(s)");
                    }
                    shell_flags |= bit;
                } else if (*p == 'c' && !from_set && !command_string && argc - consumed >= 2) {
                    command_string = argv[1 + consumed];
                    consumed++;
                } else {
                    rebuild_dash_text();
                    fail(word, "bad option(s)");
                }
            }
        } else {
            for (const char* p = word + 1; *p; p++) {
                ShellFlags bit = letter_bit(*p);
                if (bit && !char_in_set(*p, PLUS_REFUSED_LETTERS))
                    shell_flags &= ~bit;
            }
            consumed = 1;
        }
        argv[consumed] = argv[0];
    }
    rebuild_dash_text();
    return argc - consumed;
}
