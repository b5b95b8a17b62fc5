#pragma once
// A file descriptor closed when it goes out of scope, for the code that
// opens files with the system's own calls (the safe writer, the settings
// file's lock and reading).

#include <unistd.h>

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // Hands the descriptor over; it is then no longer closed here.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};
