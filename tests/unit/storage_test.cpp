// The block heap, the working stack and the string primitives.
#include "support.h"

#include "output/output.h"
#include "signals/signals.h"
#include "storage/storage.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class Storage : public ShellTest {
protected:
    int32_t saved_step = 0;
    void SetUp() override
    {
        ShellTest::SetUp();
        saved_step = break_increment;
    }
    void TearDown() override
    {
        break_increment = saved_step;
        ShellTest::TearDown();
    }
};

// Adds a fresh free block of exactly 512 bytes at the top of the heap (the
// stack is empty, so nothing is frozen) and returns its address; the rover
// is left on it.
char* fresh_region()
{
    stack_tidy(nullptr);
    int32_t step = break_increment;
    break_increment = 512;
    char* start = heap_top;
    heap_grow(0);
    break_increment = step;
    return start;
}

// Takes every run of adjacent free blocks of at least size bytes, so that a
// request needing size bytes finds no fit.
void exhaust_free_runs(uintptr_t size)
{
    for (;;) {
        uintptr_t largest = 0;
        for (char* p = heap_first; p != heap_top;) {
            if (is_busy(p)) {
                p = next_of(p);
                continue;
            }
            char* q = p;
            while (q != heap_top && !is_busy(q))
                q = next_of(q);
            largest = std::max(largest, static_cast<uintptr_t>(q - p));
            p = q;
        }
        if (largest < size)
            return;
        heap_alloc(static_cast<int32_t>(largest - 8));
    }
}

// The heap's link words, first block to top block.
std::vector<uintptr_t> heap_links()
{
    std::vector<uintptr_t> links;
    char* p = heap_first;
    for (;;) {
        links.push_back(link_of(p));
        if (p == heap_top)
            return links;
        p = next_of(p);
    }
}

} // namespace

TEST(StorageInit, OneFreeBlockOf512AndAnEmptyStackAbove)
{
    const InitialArena& a = initial_arena;
    EXPECT_EQ(a.link, reinterpret_cast<uintptr_t>(a.first + 512)); // free: no busy bit
    EXPECT_EQ(a.top, a.first + 512);
    EXPECT_EQ(a.rover, a.first);
    EXPECT_EQ(a.base, a.first + 528);
    EXPECT_EQ(a.item, a.base);
    EXPECT_EQ(a.top_of_item, a.base);
    EXPECT_EQ(a.frozen, nullptr);
}

TEST_F(Storage, TopBlockLinksBackToTheFirstAndCountsAsBusy)
{
    heap_alloc(100);
    EXPECT_EQ(link_of(heap_top), reinterpret_cast<uintptr_t>(heap_first) | BUSY_BIT);
    EXPECT_EQ(stack_base, heap_top + 16);
}

TEST_F(Storage, FirstFitStartsAtTheRover)
{
    char* r = fresh_region();
    char* block[16];
    for (int i = 0; i < 16; i++) {
        block[i] = static_cast<char*>(heap_alloc(24)) - 8;
        ASSERT_EQ(block[i], r + 32 * i);
    }
    EXPECT_EQ(heap_rover, heap_top);
    heap_free(block[3] + 8);
    heap_free(block[10] + 8);

    // From block 4 the search passes block 3 by and takes block 10.
    heap_rover = block[4];
    EXPECT_EQ(heap_alloc(24), block[10] + 8);
    EXPECT_EQ(heap_rover, block[11]);
    // From block 0 it takes block 3, the first free one after the rover.
    heap_rover = block[0];
    EXPECT_EQ(heap_alloc(16), block[3] + 8);
    EXPECT_EQ(link_of(block[3]), reinterpret_cast<uintptr_t>(block[3] + 24) | BUSY_BIT);
    // The 8-byte remainder is a block of its own, a bare link word.
    EXPECT_EQ(link_of(block[3] + 24), reinterpret_cast<uintptr_t>(block[4]));
}

TEST_F(Storage, SearchWrapsToBlocksBeforeTheRover)
{
    exhaust_free_runs(32); // elsewhere no free run fits a 32-byte block
    fresh_region();
    char* block[16];
    for (char*& b : block)
        b = static_cast<char*>(heap_alloc(24)) - 8;
    heap_free(block[3] + 8);
    heap_rover = block[11];
    char* top = heap_top;
    EXPECT_EQ(heap_alloc(24), block[3] + 8); // found after the wrap, no growth
    EXPECT_EQ(heap_top, top);
}

TEST_F(Storage, AdjacentFreeBlocksMergeDuringTheSearch)
{
    char* r = fresh_region();
    char* block[16];
    for (int i = 0; i < 16; i++)
        block[i] = static_cast<char*>(heap_alloc(24)) - 8;
    ASSERT_EQ(block[15], r + 480);
    heap_free(block[5] + 8);
    heap_free(block[6] + 8);
    // Freeing merges nothing: block 5 still ends where block 6 starts.
    EXPECT_EQ(link_of(block[5]), reinterpret_cast<uintptr_t>(block[6]));
    EXPECT_EQ(link_of(block[6]), reinterpret_cast<uintptr_t>(block[7]));

    // 40 bytes need a 48-byte block: more than either 32-byte block holds.
    heap_rover = block[4];
    EXPECT_EQ(heap_alloc(40), block[5] + 8);
    EXPECT_EQ(link_of(block[5]), reinterpret_cast<uintptr_t>(block[5] + 48) | BUSY_BIT);
    EXPECT_EQ(link_of(block[5] + 48), reinterpret_cast<uintptr_t>(block[7])); // free remainder
    EXPECT_EQ(heap_rover, block[5] + 48);
}

TEST_F(Storage, ZeroBytesGiveABlockOfItsLinkWordOnly)
{
    char* r = fresh_region();
    char* a = static_cast<char*>(heap_alloc(0));
    EXPECT_EQ(a, r + 8);
    EXPECT_EQ(link_of(r), reinterpret_cast<uintptr_t>(a) | BUSY_BIT);
    char* b = static_cast<char*>(heap_alloc(0));
    EXPECT_EQ(b, a + 8);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(heap_alloc(1)) % 8, 0u);
}

TEST_F(Storage, GrowthAddsSizePlusStepWithTheStepsLowBitsCleared)
{
    exhaust_free_runs(520);
    char* old_top = heap_top;
    break_increment = 768;
    char* a = static_cast<char*>(heap_alloc(512)); // needs 520 bytes
    // (520 + 768) with the bits of 767 cleared is 1280.
    EXPECT_EQ(heap_top, old_top + 1280);
    EXPECT_EQ(a, old_top + 8);
    EXPECT_EQ(link_of(old_top), reinterpret_cast<uintptr_t>(old_top + 520) | BUSY_BIT);
    EXPECT_EQ(link_of(old_top + 520), reinterpret_cast<uintptr_t>(heap_top)); // free remainder
    EXPECT_EQ(link_of(heap_top), reinterpret_cast<uintptr_t>(heap_first) | BUSY_BIT);
    EXPECT_EQ(heap_rover, old_top + 520);
    EXPECT_EQ(stack_base, heap_top + 16);
    EXPECT_EQ(item_start, stack_base);
    EXPECT_EQ(stack_top, stack_base);
}

TEST_F(Storage, GrowthByPowerOfTwoStepRoundsToAMultiple)
{
    exhaust_free_runs(1000);
    char* old_top = heap_top;
    break_increment = 1024;
    char* a = static_cast<char*>(heap_alloc(1000 - 8)); // needs 1000 bytes
    EXPECT_EQ(heap_top, old_top + 1024); // (1000 + 1024) rounded down to 1024s
    EXPECT_EQ(a, old_top + 8);
    EXPECT_EQ(link_of(old_top + 1000), reinterpret_cast<uintptr_t>(heap_top)); // 24 bytes left
}

TEST_F(Storage, FreeingAStackAddressOrNullChangesNothing)
{
    char* s = stack_copy("on the stack");
    char* t = static_cast<char*>(stack_alloc(16));
    memset(t, 'x', 16);
    std::vector<uintptr_t> before = heap_links();
    uintptr_t word_below = *reinterpret_cast<uintptr_t*>(t - 8);
    uintptr_t word_at = *reinterpret_cast<uintptr_t*>(t + 8);
    heap_free(s);
    heap_free(t + 8);
    heap_free(heap_top + 8); // the reserved word above the top block
    heap_free(nullptr);
    EXPECT_EQ(heap_links(), before);
    EXPECT_EQ(*reinterpret_cast<uintptr_t*>(t - 8), word_below);
    EXPECT_EQ(*reinterpret_cast<uintptr_t*>(t + 8), word_at);
    EXPECT_STREQ(s, "on the stack");
}

TEST_F(Storage, ItemUnderConstructionMovesWhenTheHeapGrows)
{
    char* fixed = stack_copy("fixed");
    char* old_base = stack_base;
    char* old_top_block = heap_top;
    char* old_item = stack_begin();
    stack_push_text("half built");
    int32_t offset = stack_offset();

    exhaust_free_runs(4096 + 8);
    heap_alloc(4096);

    // The item is copied to the new stack base, its offset kept.
    EXPECT_NE(item_start, old_item);
    EXPECT_EQ(item_start, stack_base);
    EXPECT_EQ(stack_base, heap_top + 16);
    EXPECT_EQ(stack_offset(), offset);
    EXPECT_EQ(std::string(item_start, static_cast<size_t>(stack_offset())), "half built");
    // The old area is a busy block on frozen_stacks; both old copies read on.
    EXPECT_EQ(frozen_stacks, old_base - 8);
    EXPECT_EQ(frozen_stacks, old_top_block + 8);
    EXPECT_TRUE(is_busy(old_top_block));
    EXPECT_STREQ(old_item, "half built");
    EXPECT_STREQ(fixed, "fixed");

    // Building goes on at the new place.
    stack_push('!');
    char* done = stack_end(stack_top);
    EXPECT_STREQ(done, "half built!");
    EXPECT_STREQ(old_item, "half built");

    stack_tidy(nullptr);
    EXPECT_EQ(frozen_stacks, nullptr);
    EXPECT_FALSE(is_busy(old_top_block));
}

TEST_F(Storage, GrowthWithAnEmptyStackFreezesNothing)
{
    char* before = frozen_stacks;
    exhaust_free_runs(2008);
    char* old_top = heap_top;
    heap_alloc(2000);
    ASSERT_NE(heap_top, old_top);
    EXPECT_EQ(frozen_stacks, before);
    EXPECT_EQ(item_start, stack_base);
    EXPECT_EQ(stack_top, stack_base);
}

TEST_F(Storage, TidyToZeroReturnsEveryFrozenArea)
{
    char* areas[2];
    for (char*& area : areas) {
        stack_copy("keep me");
        stack_begin();
        stack_push_text("building");
        area = heap_top; // the top block that is about to span the stack
        exhaust_free_runs(1024 + 8);
        heap_alloc(1024);
    }
    ASSERT_EQ(frozen_stacks, areas[1] + 8);
    ASSERT_EQ(*reinterpret_cast<char**>(frozen_stacks), areas[0] + 8);
    EXPECT_TRUE(is_busy(areas[0]));
    EXPECT_TRUE(is_busy(areas[1]));

    stack_tidy(nullptr);
    EXPECT_EQ(frozen_stacks, nullptr);
    EXPECT_FALSE(is_busy(areas[0]));
    EXPECT_FALSE(is_busy(areas[1]));
    EXPECT_EQ(item_start, stack_base);
    EXPECT_EQ(stack_top, stack_base);
}

TEST_F(Storage, TidyToAMarkKeepsTheAreasBelowIt)
{
    // Freezes the current area (which holds data) by growing the heap;
    // returns the area's top block.
    auto freeze = [] {
        char* area = heap_top;
        exhaust_free_runs(512 + 8);
        heap_alloc(512);
        return area;
    };
    stack_copy("first area");
    char* first_area = freeze();
    char* second = stack_copy("second area");
    char* mark = stack_mark();
    stack_copy("above the mark");
    char* second_area = freeze();
    stack_copy("third area");
    char* third_area = freeze();
    stack_copy("current area");
    ASSERT_EQ(frozen_stacks, third_area + 8);

    stack_tidy(mark);
    // The area holding the mark keeps its data below the mark; only the
    // area above it goes back to the heap.
    EXPECT_EQ(frozen_stacks, second_area + 8);
    EXPECT_TRUE(is_busy(first_area));
    EXPECT_TRUE(is_busy(second_area));
    EXPECT_FALSE(is_busy(third_area));
    EXPECT_STREQ(second, "second area");
    // The mark lies below the current area: all of the current area goes.
    EXPECT_EQ(item_start, stack_base);
    EXPECT_EQ(stack_top, stack_base);
}

TEST_F(Storage, StackAllocRoundsToEightAndFixesAtOnce)
{
    char* a = static_cast<char*>(stack_alloc(1));
    char* b = static_cast<char*>(stack_alloc(9));
    char* c = static_cast<char*>(stack_alloc(0));
    EXPECT_EQ(b, a + 8);
    EXPECT_EQ(c, b + 16);
    EXPECT_EQ(item_start, c);
    EXPECT_EQ(stack_top, c);
    char* s = stack_copy("abc");
    EXPECT_EQ(s, c);
    EXPECT_EQ(item_start, s + 8);
}

TEST_F(Storage, StackBeginMakesHeadRoomWithAGrowingStep)
{
    break_increment = 512;
    const int32_t steps[] = {512, 768, 1024, 1280, 1536, 1792, 2048, 2048};
    for (int32_t step : steps) {
        // Leave 100 bytes between the item and the break.
        stack_alloc(static_cast<int32_t>(break_end - item_start) - 100);
        ASSERT_LT(break_end - item_start, 512);
        char* end = break_end;
        stack_begin();
        EXPECT_EQ(break_end, end + step);
    }
    EXPECT_EQ(break_increment, 2048);
    // With enough room, stack_begin leaves the break alone.
    char* end = break_end;
    stack_begin();
    EXPECT_EQ(break_end, end);
}

TEST_F(Storage, TrimGivesBack512BytesPerCall)
{
    stack_begin();
    for (int i = 0; i < 6000; i++)
        stack_push('x');
    stack_end(stack_top);
    stack_tidy(nullptr);
    ASSERT_GT(break_end - stack_base, 6000);
    int calls = 0;
    while (break_end - stack_base > 1024) {
        char* end = break_end;
        stack_trim();
        ASSERT_EQ(break_end, end - 512);
        calls++;
    }
    EXPECT_GT(calls, 8);
    EXPECT_GT(break_end - stack_base, 512);
    char* end = break_end;
    stack_trim();
    EXPECT_EQ(break_end, end);
    // The stack still grows again afterwards.
    char* s = stack_begin();
    for (int i = 0; i < 3000; i++)
        stack_push('y');
    stack_end(stack_top);
    EXPECT_EQ(s[2999], 'y');
    EXPECT_EQ(s[3000], 0);
}

// ---- no space ----

namespace {

// Checks made in a child process, which must not use the C++ library: the
// first failed check is written to the pipe and the child exits with 1.
int report_fd = -1;

[[noreturn]] void child_fail(const char* what)
{
    (void)!write(report_fd, what, strlen(what));
    _exit(1);
}

#define CHILD_CHECK(condition)                                                                     \
    do {                                                                                           \
        if (!(condition))                                                                          \
            child_fail("line " OLM_STRINGIFY(__LINE__) ": " #condition);                           \
    } while (0)
#define OLM_STRINGIFY(x) OLM_STRINGIFY2(x)
#define OLM_STRINGIFY2(x) #x

// The data size the process uses now, from /proc/self/status.
long data_size_bytes()
{
    static char text[4096];
    int fd = open("/proc/self/status", O_RDONLY);
    if (fd < 0)
        return -1;
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return -1;
    text[n] = 0;
    const char* p = strstr(text, "VmData:");
    if (!p)
        return -1;
    long kb = 0;
    for (p += 7; *p == ' ' || *p == '\t'; p++) {
    }
    for (; *p >= '0' && *p <= '9'; p++)
        kb = kb * 10 + (*p - '0');
    return kb * 1024;
}

// A failure message captured without the C++ library.
struct Captured {
    bool failed;
    char text[128];
};

Captured armed(void (*fn)(void*), void* arg)
{
    Captured c{};
    int fd = memfd_create("olm-unit-child", 0);
    int saved = output_fd;
    output_fd = fd;
    c.failed = run_armed(fn, arg);
    output_fd = saved;
    lseek(fd, 0, SEEK_SET);
    ssize_t n = read(fd, c.text, sizeof c.text - 1);
    c.text[n > 0 ? n : 0] = 0;
    close(fd);
    return c;
}

bool said_no_space(const Captured& c)
{
    return c.failed && strcmp(c.text, "no space\n") == 0 && exit_status == 1;
}

struct Request {
    int32_t size;
    void* result;
};

void alloc_job(void* p)
{
    Request* r = static_cast<Request*>(p);
    r->result = heap_alloc(r->size);
}

long pushed_count = 0;

void push_job(void*)
{
    stack_begin();
    for (pushed_count = 0; pushed_count < (64L << 20); pushed_count++)
        stack_push('p');
}

void copy_job(void* p)
{
    *static_cast<char**>(p) = stack_copy("still works");
}

// Walks the chain from the first block: addresses rise up to heap_top,
// which links back to the first block.
bool heap_chain_sound()
{
    char* p = heap_first;
    for (long steps = 0; steps < 10000000; steps++) {
        if (p == heap_top)
            return link_of(p) == (reinterpret_cast<uintptr_t>(heap_first) | BUSY_BIT);
        char* q = next_of(p);
        if (q <= p || q > heap_top)
            return false;
        p = q;
    }
    return false;
}

void no_space_child()
{
    long used = data_size_bytes();
    CHILD_CHECK(used > 0);
    struct rlimit limit;
    CHILD_CHECK(getrlimit(RLIMIT_DATA, &limit) == 0);
    limit.rlim_cur = static_cast<rlim_t>(used + (2L << 20));
    CHILD_CHECK(setrlimit(RLIMIT_DATA, &limit) == 0);
    stack_tidy(nullptr);

    // A request far beyond the limit fails before anything changes: the
    // item being built stays where it was, intact.
    stack_begin();
    stack_push_text("under construction");
    char* item = item_start;
    char* top = heap_top;
    char* base = stack_base;
    Request big{64 << 20, nullptr};
    CHILD_CHECK(said_no_space(armed(alloc_job, &big)));
    CHILD_CHECK(heap_top == top && stack_base == base && item_start == item);
    CHILD_CHECK(stack_top == item + 18 && memcmp(item, "under construction", 18) == 0);
    CHILD_CHECK(frozen_stacks == nullptr || reinterpret_cast<uintptr_t>(frozen_stacks) < reinterpret_cast<uintptr_t>(base));
    CHILD_CHECK(heap_chain_sound());
    CHILD_CHECK(strcmp(stack_end(stack_top), "under construction") == 0);
    stack_tidy(nullptr);

    // The stack grows until the break cannot move.
    Captured c = armed(push_job, nullptr);
    CHILD_CHECK(said_no_space(c));
    CHILD_CHECK(pushed_count > (1L << 20) && pushed_count < (3L << 20));
    CHILD_CHECK(stack_top <= break_end);
    stack_tidy(nullptr);

    // Afterwards small stack items and heap blocks are still served.
    char* copy = nullptr;
    CHILD_CHECK(!armed(copy_job, &copy).failed && strcmp(copy, "still works") == 0);
    Request small{16, nullptr};
    CHILD_CHECK(!armed(alloc_job, &small).failed && small.result);
    memset(small.result, 'z', 16);
    stack_tidy(nullptr);

    // The heap grows until the break cannot move.
    static char* blocks[4096];
    int count = 0;
    bool refused = false;
    while (count < 4096) {
        Request r{4096, nullptr};
        Captured a = armed(alloc_job, &r);
        if (a.failed) {
            CHILD_CHECK(said_no_space(a));
            refused = true;
            break;
        }
        blocks[count++] = static_cast<char*>(r.result);
    }
    CHILD_CHECK(refused);
    CHILD_CHECK(count > 100);
    CHILD_CHECK(heap_chain_sound());
    CHILD_CHECK(stack_base == heap_top + 16 && item_start == stack_base && stack_top == stack_base);

    // Two neighbours given back serve a request neither could alone, and
    // small requests are served; the break cannot move, so the heap must
    // find the room within itself.
    int k = count - 2;
    for (; k >= 0; k--) {
        char* a = blocks[k] - 8;
        char* b = blocks[k + 1] - 8;
        if (b <= a)
            continue;
        char* p = next_of(a);
        while (p < b && !is_busy(p))
            p = next_of(p);
        if (p == b)
            break;
    }
    CHILD_CHECK(k >= 0);
    char* top_before = heap_top;
    heap_free(blocks[k]);
    heap_free(blocks[k + 1]);
    Request pair{8000, nullptr};
    CHILD_CHECK(!armed(alloc_job, &pair).failed);
    CHILD_CHECK(heap_top == top_before);
    CHILD_CHECK(static_cast<char*>(pair.result) <= blocks[k] && static_cast<char*>(pair.result) + 8000 <= blocks[k + 1] + 4096);
    Request tiny{16, nullptr};
    CHILD_CHECK(!armed(alloc_job, &tiny).failed && tiny.result);
    CHILD_CHECK(heap_top == top_before);
    CHILD_CHECK(heap_chain_sound());
    _exit(0);
}

} // namespace

TEST_F(Storage, NoSpaceUnderADataLimitLeavesTheArenaWorking)
{
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        close(pipe_fds[0]);
        report_fd = pipe_fds[1];
        no_space_child();
    }
    close(pipe_fds[1]);
    std::string report;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, static_cast<size_t>(n));
    close(pipe_fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(report, "");
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// ---- string primitives ----

TEST(Strings, SizeCountsTheTerminator)
{
    EXPECT_EQ(string_size(""), 1);
    EXPECT_EQ(string_size("abc"), 4);
    EXPECT_EQ(string_size(nullptr), 0);
    EXPECT_EQ(string_size("\xe1\xe2"), 3);
}

TEST(Strings, CompareTakesBytesAsSignedChars)
{
    EXPECT_EQ(compare_strings("abc", "abc"), 0);
    EXPECT_EQ(compare_strings("", ""), 0);
    EXPECT_LT(compare_strings("abc", "abd"), 0);
    EXPECT_GT(compare_strings("b", "a"), 0);
    EXPECT_EQ(compare_strings("ab", "abc"), -'c');
    EXPECT_EQ(compare_strings("abc", "ab"), 'c');
    // A byte with bit 7 set orders before every 7-bit byte.
    EXPECT_LT(compare_strings("\xe1", "a"), 0);
    EXPECT_LT(compare_strings("\x80", ""), 0);
    EXPECT_EQ(compare_strings("\xe1", "a"), static_cast<signed char>('\xe1') - 'a');
}

TEST(Strings, CharInSetComparesSignExtendedBytes)
{
    EXPECT_TRUE(char_in_set('a', "abc"));
    EXPECT_TRUE(char_in_set('c', "abc"));
    EXPECT_FALSE(char_in_set('d', "abc"));
    EXPECT_FALSE(char_in_set('a', ""));
    EXPECT_FALSE(char_in_set(0, "abc")); // the terminator is never a member
    EXPECT_FALSE(char_in_set(0, ""));
    EXPECT_TRUE(char_in_set(0xe1, "x\xe1"));
    EXPECT_TRUE(char_in_set(static_cast<signed char>('\xe1'), "x\xe1"));
    EXPECT_FALSE(char_in_set('a', "\xe1")); // 0xe1 is not 'a' with a mark
}

TEST(Strings, CopyIntoReturnsTheCopiedTerminatorForChaining)
{
    char buffer[16];
    memset(buffer, '#', sizeof buffer);
    char* end = copy_into("ab", buffer);
    EXPECT_EQ(end, buffer + 2);
    EXPECT_EQ(*end, 0);
    end = copy_into("cd", end);
    EXPECT_EQ(end, buffer + 4);
    EXPECT_STREQ(buffer, "abcd");
    end = copy_into("", end);
    EXPECT_EQ(end, buffer + 4);
    EXPECT_EQ(buffer[5], '#');
}
