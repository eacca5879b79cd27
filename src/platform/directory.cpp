// Directory reading by plain system calls, so that an interrupt can abandon it safely.
#include "platform/platform.h"

#include <cstddef>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

int platform_open_directory(const char* path)
{
    return open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

long platform_read_directory(int fd, char* buffer, unsigned size)
{
    return syscall(SYS_getdents64, fd, buffer, size);
}

const char* platform_next_entry(const char* buffer, long length, long* offset)
{
    if (*offset >= length)
        return nullptr;
    const LinuxDirent64* d = reinterpret_cast<const LinuxDirent64*>(buffer + *offset);
    *offset += d->d_reclen;
    return d->d_name;
}
