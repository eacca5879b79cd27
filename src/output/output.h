// Output: unbuffered primitives on the diagnostic descriptor, and the
// decimal conversions.
//
// Every prompt, message, trace line and listing the shell itself prints goes
// through these primitives, each one write on output_fd, so that messages
// appear in order with the output of programs sharing the descriptor.
// Results of the writes are ignored.  Conversions to text share one buffer,
// number_text, which the next conversion overwrites.
#pragma once

#include <cstdint>
#include <sys/times.h>

// ---- put.cpp ----

// Globals
extern int output_fd; // where diagnostics go: 2 at first, 19 once the command loop has run

void put_newline();
void put_blank();
void put_char(int c);          // the low byte of c; nothing for 0
void put_string(const char* s); // nothing for null
void put_plain(const char* s);  // s with quoting marks removed; nothing for null
void put_prefix();             // "$0: " unless the shell prompts
void put_number(int32_t n);
void put_long(uint64_t n);
void put_times(clock_t ticks);

// Writes n bytes of s to descriptor fd (one write, result ignored).
void put_bytes(int fd, const char* s, int32_t n);

// ---- numbers.cpp ----

constexpr int NUMBER_TEXT_SIZE = 24;

// Globals
extern char number_text[NUMBER_TEXT_SIZE]; // decimal text of the last number converted

void number_to_text(int32_t n);
void long_to_text(uint64_t n);

// The value of the leading decimal digits of s; "bad number" for s when it
// does not start with a digit or the value exceeds 2147483647.
int32_t text_to_number(const char* s);

// Formats ticks at the given rate, rounded to whole seconds, as H"h"M"m"S"s"
// (no hours while under one hour), in a buffer of its own.
const char* format_times(clock_t ticks, long rate);
