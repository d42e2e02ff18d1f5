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
    // For the work in the child: writes all of `data` to its output; false when the parent
    // has gone.
    static bool writeAll(int outputFd, const char* data, size_t size);

    // Reads the child's output; 0 at its end, or when the child was silent too long.
    qint64 read(char* buffer, qint64 size);
    bool fellSilent() const { return m_silent; }

    // How the child ended: by itself with an exit code, or stopped by a signal, the limit on
    // processor time among them.
    struct Ending
    {
        enum class Kind { Exited, OutOfTime, Signalled } kind = Kind::Exited;
        int code = 0; // the exit code, or the signal's number
    };
    // Waits for the child to end.
    Ending wait();

private:
    pid_t m_pid = -1;
    int m_outputFd = -1;
    bool m_silent = false;
};

} // namespace glimora::platform
