#include "platform/IsolatedChild.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace glimora::platform {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif
#else
constexpr bool addressSanitizer = false;
#endif

// A BIFF8 sheet has at most 65,536 rows of 256 cells, which the reader holds in well under
// a gigabyte. The memory allowance comes on top of the address space inherited from the
// parent, which may be large (a browser engine reserves gigabytes).
constexpr rlim_t memoryAllowance = 2048ULL * 1024 * 1024;
constexpr rlim_t processorSeconds = 120;
// The parent gives up on a child that sends nothing for this long (it may be stuck).
constexpr int silenceLimitMilliseconds = 120'000;

// The address space of this process in bytes, or 0 when unknown. Plain system calls only:
// this runs in the child between fork and the work.
rlim_t currentAddressSpace()
{
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[64] = {};
    const ssize_t count = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    rlim_t pages = 0;
    for (ssize_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + rlim_t(text[i] - '0');
    return pages * rlim_t(::sysconf(_SC_PAGESIZE));
}

void applyLimits()
{
    // A crash handler of the parent must not run here; the parent reads the signal instead.
    for (int signalNumber : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGXCPU, SIGXFSZ })
        std::signal(signalNumber, SIG_DFL);
    const rlimit noCore { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit noFiles { 0, 0 };
    setrlimit(RLIMIT_FSIZE, &noFiles);
    const rlimit processor { processorSeconds, processorSeconds + 5 };
    setrlimit(RLIMIT_CPU, &processor);
    // The address sanitizer reserves terabytes of shadow memory; it cannot live with this.
    if (!addressSanitizer) {
        const rlim_t limit = currentAddressSpace() + memoryAllowance;
        const rlimit memory { limit, limit };
        setrlimit(RLIMIT_AS, &memory);
    }
}

} // namespace

IsolatedChild::~IsolatedChild()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
    if (m_outputFd >= 0)
        ::close(m_outputFd);
}

bool IsolatedChild::start(const std::function<bool(int outputFd)>& work)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        errno = error;
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        applyLimits();
        _exit(work(fds[1]) ? 0 : 1);
    }
    ::close(fds[1]);
    m_pid = pid;
    m_outputFd = fds[0];
    return true;
}

qint64 IsolatedChild::read(char* buffer, qint64 size)
{
    for (;;) {
        pollfd waiting { m_outputFd, POLLIN, 0 };
        const int ready = ::poll(&waiting, 1, silenceLimitMilliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            m_silent = true;
            return 0;
        }
        const ssize_t count = ::read(m_outputFd, buffer, size_t(size));
        if (count < 0 && errno == EINTR)
            continue;
        return count < 0 ? 0 : count;
    }
}

bool IsolatedChild::writeAll(int outputFd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(outputFd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

IsolatedChild::Ending IsolatedChild::wait()
{
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
    m_pid = -1;
    if (!WIFSIGNALED(status))
        return { Ending::Kind::Exited, WIFEXITED(status) ? WEXITSTATUS(status) : 0 };
    const int signal = WTERMSIG(status);
    return { signal == SIGXCPU ? Ending::Kind::OutOfTime : Ending::Kind::Signalled, signal };
}

} // namespace glimora::platform
