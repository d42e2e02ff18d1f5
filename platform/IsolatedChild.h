#pragma once

#include <functional>
#include <QtGlobal>
#include <sys/types.h>

namespace glimora::platform {

// Runs a piece of work in a forked child process with hard limits (memory on top of what
// it inherits, processor time, no file writes, no core dump) and hands its output, written
// to a pipe, to the parent. Whatever the child does, crashing included, the parent only
// sees its output end and its exit status. The destructor kills and reaps a child that is
// still running.
class IsolatedChild
{
public:
    IsolatedChild() = default;
    ~IsolatedChild();
    IsolatedChild(const IsolatedChild&) = delete;
    IsolatedChild& operator=(const IsolatedChild&) = delete;

    // Forks. The child applies the limits, calls work with the pipe's write end and exits
    // with 0 when work returns true. Returns false (errno set) when no child could be made.
    bool start(const std::function<bool(int outputFd)>& work);

    // Reads the child's output; 0 at its end, or when the child was silent too long.
    qint64 read(char* buffer, qint64 size);
    bool fellSilent() const { return m_silent; }

    // Waits for the child to end and returns its waitpid status.
    int wait();

private:
    pid_t m_pid = -1;
    int m_outputFd = -1;
    bool m_silent = false;
};

} // namespace glimora::platform
