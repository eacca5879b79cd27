// The start-up sequence: storage, environment, options, parameters, profiles and the choice of input.
#include "startup/startup.h"

#include "exec/exec.h"
#include "input/input.h"
#include "output/output.h"
#include "signals/signals.h"
#include "storage/storage.h"
#include "vars/vars.h"

#include <unistd.h>

constinit char** arg_vector = nullptr;
constinit int32_t arg_count = 0;
constinit char* dollar_zero = nullptr;
constinit char* command_string = nullptr;
constinit uint8_t startup_count = 0;
constinit sigjmp_buf script_restart = {};
constinit char temp_name[TEMP_NAME_SIZE] = "/tmp/sh-";
constinit char* temp_name_end = nullptr;
constinit uint32_t temp_count = 0;
constinit char no_command_string[1] = {0};

static constexpr int TEMP_PREFIX_LENGTH = 8; // "/tmp/sh-"

const char* basename_of(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; p++)
        if (*p == '/')
            base = p + 1;
    return base;
}

void reset_temp_names()
{
    number_to_text(static_cast<int32_t>(getpid()));
    temp_name_end = copy_into(number_text, temp_name + TEMP_PREFIX_LENGTH);
    temp_count = 0;
}

// Appends letter to the text of $- unless it is there already.
static void add_dash_letter(char letter)
{
    if (char_in_set(letter, dash_text))
        return;
    char* p = dash_text;
    while (*p)
        p++;
    p[0] = letter;
    p[1] = 0;
}

// Runs the command loop on the profile file name inside directory list.
static void run_profile(const char* list, const char* name, ShellFlags mode)
{
    int fd = open_along_path(list, name);
    if (fd < 0)
        return;
    if (fd == 0)
        fd = move_out_of_the_way(fd, INPUT_FD); // standard input was closed
    start_file_input(fd);
    run_command_loop(mode);
}

void shell_main(int argc, char** argv)
{
    static char default_name[] = "olm";
    static char* default_argv[] = {default_name, nullptr};
    if (argc < 1 || !argv[0]) {
        argc = 1;
        argv = default_argv;
    }

    init_signals();
    storage_init();
    bool environment_restricted = !import_environment();
    bool restricted_by_name = char_in_set('r', basename_of(argv[0]));
    ShellFlags profile_mode = restricted_by_name ? 0 : FLAG_RECOVER;

    int left = process_options(argc, argv);
    char** words = argv + (argc - left);
    if (left <= 1) {
        shell_flags |= FLAG_STDIN;
        add_dash_letter('s');
    }
    if (shell_flags & FLAG_STDIN) {
        arg_vector = words;
        arg_count = left - 1;
    } else {
        arg_vector = words + 1;
        arg_count = left - 2;
    }

    if (sigsetjmp(script_restart, 1)) {
        // A file the system could not execute is run here as a script.
    }
    set_number_string(&param_count_text, arg_count);
    dollar_zero = arg_vector[0];
    set_number_string(&shell_pid_text, static_cast<int32_t>(getpid()));
    reset_temp_names();
    set_default(&ifs_entry, " \t\n");

    if (startup_count++ == 0) {
        if (basename_of(dollar_zero)[0] == '-') {
            // The home profile is found through HOME as the environment gave it.
            char* home = home_entry.env_value;
            run_profile("", "/etc/olm_profile", profile_mode);
            if (home)
                run_profile(home, ".olm_profile", profile_mode);
            shell_flags &= ~FLAG_RECOVER;
        }
        if (restricted_by_name || environment_restricted) {
            shell_flags |= FLAG_RESTRICTED;
            add_dash_letter('r');
        }
        if (command_string && command_string != no_command_string) {
            start_text_input(command_string);
        } else if (shell_flags & FLAG_STDIN) {
            start_file_input(0);
        } else {
            int fd = open_script(dollar_zero);
            if (fd < 0)
                fail(dollar_zero, "cannot open");
            if (fd == 0)
                fd = move_out_of_the_way(fd, INPUT_FD); // standard input was closed
            start_file_input(fd);
        }
        if (!command_string)
            command_string = no_command_string;
    }
    run_command_loop(0);
    finish();
}
