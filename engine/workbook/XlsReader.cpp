#include "engine/workbook/XlsReader.h"

#include "engine/workbook/SheetTableBuilder.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <QDateTime>
#include <QFile>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace glimora::engine {

using glimora::data::Variant;

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

// Limits of the child: a BIFF8 sheet has at most 65,536 rows of 256 cells, which libfreexl
// holds in well under a gigabyte. The memory allowance comes on top of the address space
// inherited from the parent, which may be large (a browser engine reserves gigabytes).
constexpr rlim_t childMemoryAllowance = 2048ULL * 1024 * 1024;
constexpr rlim_t childProcessorSeconds = 120;
// The parent gives up on a child that sends nothing for this long (it may be stuck).
constexpr int silenceLimitMilliseconds = 120'000;

// The pipe protocol: a stream of messages, each one byte of kind and its fields.
constexpr char messageCell = 'C';
constexpr char messageFailure = 'E';
constexpr char messageDone = 'D';

constexpr char cellNumber = 'n';
constexpr char cellText = 't';
constexpr char cellDate = 'd';

constexpr char failureMissingSheet = 's';
constexpr char failureDamaged = 'x';
constexpr char failurePassword = 'p';
constexpr char failureNotWorkbook = 'w';
constexpr char failureMissingFile = 'f';

// Encodes messages into a buffer, handing full buffers to a sink (the pipe or memory).
class MessageWriter
{
public:
    using Sink = bool (*)(void* context, const char* data, size_t size);

    MessageWriter(Sink sink, void* context)
        : m_sink(sink)
        , m_context(context)
    {
        m_buffer.reserve(bufferSize);
    }

    void byte(char value) { append(&value, 1); }
    void u32(quint32 value) { append(&value, sizeof value); }
    void u16(quint16 value) { append(&value, sizeof value); }
    void number(double value) { append(&value, sizeof value); }
    void text(const char* value)
    {
        const size_t length = std::strlen(value);
        u32(quint32(length));
        append(value, length);
    }
    bool flush()
    {
        const bool written
            = m_failed || m_buffer.empty() ? !m_failed : m_sink(m_context, m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        m_failed = !written;
        return written;
    }

private:
    static constexpr size_t bufferSize = 64 * 1024;

    void append(const void* data, size_t size)
    {
        m_buffer.append(static_cast<const char*>(data), size);
        if (m_buffer.size() >= bufferSize)
            flush();
    }

    Sink m_sink;
    void* m_context;
    std::string m_buffer;
    bool m_failed = false;
};

void writeFailure(MessageWriter& writer, char failure, const char* detail)
{
    writer.byte(messageFailure);
    writer.byte(failure);
    writer.text(detail);
}

class FreexlHandle
{
public:
    ~FreexlHandle()
    {
        if (m_handle != nullptr)
            freexl_close(m_handle);
    }
    const void** out() { return &m_handle; }
    const void* get() const { return m_handle; }

private:
    const void* m_handle = nullptr;
};

const char* freexlErrorText(int code)
{
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return "out of memory";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
        return "bad compound file header";
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
        return "the file ends too early";
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
        return "text in an unknown character set";
    default:
        return "bad workbook structure";
    }
}

// Reads the sheet with libfreexl and writes its non-empty cells. Runs in the child.
void produceCells(const QByteArray& path, const QString& sheetName, MessageWriter& writer)
{
    {
        // The abbreviated parse still answers the password question when the full parse
        // would trip over encrypted records.
        FreexlHandle info;
        const int result = freexl_open_info(path.constData(), info.out());
        unsigned int password = 0;
        if (result == FREEXL_OK && freexl_get_info(info.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
            && password == FREEXL_BIFF_OBFUSCATED) {
            writeFailure(writer, failurePassword, "");
            return;
        }
    }
    FreexlHandle workbook;
    const int opened = freexl_open(path.constData(), workbook.out());
    if (opened == FREEXL_FILE_NOT_FOUND) {
        writeFailure(writer, failureMissingFile, "");
        return;
    }
    if (opened == FREEXL_BIFF_WORKBOOK_NOT_FOUND) {
        writeFailure(writer, failureNotWorkbook, "");
        return;
    }
    if (opened != FREEXL_OK) {
        writeFailure(writer, failureDamaged, freexlErrorText(opened));
        return;
    }
    unsigned int password = 0;
    if (freexl_get_info(workbook.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
        && password == FREEXL_BIFF_OBFUSCATED) {
        writeFailure(writer, failurePassword, "");
        return;
    }
    unsigned int sheetCount = 0;
    if (freexl_get_info(workbook.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) {
        writeFailure(writer, failureDamaged, "no worksheet list");
        return;
    }
    int sheetIndex = -1;
    for (unsigned int i = 0; i < sheetCount && sheetIndex < 0; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(workbook.get(), quint16(i), &name) == FREEXL_OK && name != nullptr
            && QString::fromUtf8(name).compare(sheetName, Qt::CaseInsensitive) == 0)
            sheetIndex = int(i);
    }
    if (sheetIndex < 0) {
        writeFailure(writer, failureMissingSheet, "");
        return;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(workbook.get(), quint16(sheetIndex)) != FREEXL_OK
        || freexl_worksheet_dimensions(workbook.get(), &rows, &columns) != FREEXL_OK) {
        writeFailure(writer, failureDamaged, "unreadable worksheet");
        return;
    }
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            const int result = freexl_get_cell_value(workbook.get(), row, column, &value);
            if (result != FREEXL_OK) {
                writeFailure(writer, failureDamaged, freexlErrorText(result));
                return;
            }
            if (value.type == FREEXL_CELL_NULL)
                continue;
            writer.byte(messageCell);
            writer.u32(row);
            writer.u16(column);
            switch (value.type) {
            case FREEXL_CELL_INT:
                writer.byte(cellNumber);
                writer.number(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                writer.byte(cellNumber);
                writer.number(value.value.double_value);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                writer.byte(cellDate);
                writer.text(value.value.text_value != nullptr ? value.value.text_value : "");
                break;
            default:
                writer.byte(cellText);
                writer.text(value.value.text_value != nullptr ? value.value.text_value : "");
                break;
            }
        }
    }
    writer.byte(messageDone);
}

// libfreexl writes dates as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS", and Excel's
// phantom 1900-02-29 as such; it becomes the 28th, the day that serial is counted on.
Variant dateValue(const QString& text)
{
    const auto number
        = [&text](qsizetype at, qsizetype length) { return QStringView(text).mid(at, length).toInt(); };
    QDate date(1899, 12, 30);
    QTime time(0, 0);
    if (text.size() == 10 || text.size() == 19) {
        const int year = number(0, 4);
        const int month = number(5, 2);
        const int day = number(8, 2);
        date = (year == 1900 && month == 2 && day == 29) ? QDate(1900, 2, 28) : QDate(year, month, day);
    }
    if (text.size() == 19 || text.size() == 8) {
        const qsizetype at = text.size() - 8;
        time = QTime(number(at, 2), number(at + 3, 2), number(at + 6, 2));
    }
    const bool known = text.size() == 10 || text.size() == 19 || text.size() == 8;
    if (!known || !date.isValid() || !time.isValid())
        return Variant::fromString(text);
    return Variant::fromDateTime(QDateTime(date, time, Qt::UTC));
}

// Decodes the messages of produceCells into the table builder.
class MessageReader
{
public:
    // Fills buffer with up to size bytes; returns 0 at the end of the stream.
    using Source = std::function<qint64(char* buffer, qint64 size)>;

    MessageReader(Source source, QString path)
        : m_source(std::move(source))
        , m_path(std::move(path))
    {
    }

    // Returns normally on a complete sheet; throws WorkbookError otherwise.
    void readInto(SheetTableBuilder& builder, const QString& sheetName)
    {
        for (;;) {
            const char kind = byte();
            if (kind == messageDone)
                return;
            if (kind == messageFailure) {
                const char failure = byte();
                const QString detail = text();
                throw failureError(failure, detail, sheetName);
            }
            if (kind != messageCell)
                throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
            const quint32 row = value<quint32>();
            const quint16 column = value<quint16>();
            const char cellKind = byte();
            if (cellKind == cellNumber)
                builder.setCell(row, column, Variant::fromDouble(value<double>()));
            else if (cellKind == cellDate)
                builder.setCell(row, column, dateValue(text()));
            else
                builder.setCell(row, column, Variant::fromString(text()));
        }
    }

private:
    WorkbookError failureError(char failure, const QString& detail, const QString& sheetName) const
    {
        switch (failure) {
        case failureMissingSheet:
            return WorkbookError::missingSheet(m_path, sheetName);
        case failurePassword:
            return WorkbookError::passwordProtected(m_path);
        case failureMissingFile:
            return WorkbookError::missingFile(m_path);
        case failureNotWorkbook: {
            // Office keeps an encrypted .xlsx in a compound file too, beside no workbook stream.
            QFile file(m_path);
            const QByteArray marker
                = QByteArray::fromRawData("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
            if (file.size() < 256 * 1024 * 1024 && file.open(QIODevice::ReadOnly)
                && file.readAll().contains(marker))
                return WorkbookError::passwordProtected(m_path);
            return WorkbookError::notAWorkbook(m_path);
        }
        default:
            return WorkbookError::damaged(m_path, detail);
        }
    }

    void fill(char* target, qint64 size)
    {
        while (size > 0) {
            if (m_position == m_available) {
                m_available = m_source(m_buffer, sizeof m_buffer);
                m_position = 0;
                if (m_available <= 0)
                    throw WorkbookError::damaged(m_path, QStringLiteral("the reader stopped unexpectedly"));
            }
            const qint64 count = std::min(size, m_available - m_position);
            std::memcpy(target, m_buffer + m_position, size_t(count));
            m_position += count;
            target += count;
            size -= count;
        }
    }
    char byte()
    {
        char value;
        fill(&value, 1);
        return value;
    }
    template <typename T> T value()
    {
        T result;
        fill(reinterpret_cast<char*>(&result), sizeof result);
        return result;
    }
    QString text()
    {
        const quint32 length = value<quint32>();
        if (length > 64 * 1024 * 1024)
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader sent nonsense"));
        QByteArray bytes(qsizetype(length), Qt::Uninitialized);
        fill(bytes.data(), length);
        return QString::fromUtf8(bytes);
    }

    Source m_source;
    QString m_path;
    char m_buffer[64 * 1024];
    qint64 m_available = 0;
    qint64 m_position = 0;
};

bool writeToPipe(void* context, const char* data, size_t size)
{
    const int fd = *static_cast<int*>(context);
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

bool appendToString(void* context, const char* data, size_t size)
{
    static_cast<std::string*>(context)->append(data, size);
    return true;
}

// The address space of this process in bytes, or 0 when unknown. Plain system calls only:
// this runs in the child between fork and the reading.
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

void limitChild()
{
    // A crash handler of the parent must not run here; the parent reads the signal instead.
    for (int signalNumber : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGXCPU, SIGXFSZ })
        std::signal(signalNumber, SIG_DFL);
    const rlimit noCore { 0, 0 };
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit noFiles { 0, 0 };
    setrlimit(RLIMIT_FSIZE, &noFiles);
    const rlimit processor { childProcessorSeconds, childProcessorSeconds + 5 };
    setrlimit(RLIMIT_CPU, &processor);
    if (!addressSanitizer) {
        const rlim_t limit = currentAddressSpace() + childMemoryAllowance;
        const rlimit memory { limit, limit };
        setrlimit(RLIMIT_AS, &memory);
    }
}

quint32 littleEndian(const QByteArray& bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// Whether the workbook stream begins with BOF and then FILEPASS, the mark of a workbook
// encrypted with a password to open. libfreexl misses it once the records behind it are
// really encrypted, so the parent looks for itself: it needs only the compound file's
// header, its first directory sector and the first sector of the stream, read with plain
// bounds-checked arithmetic.
bool declaresFilePass(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    auto readAt = [&file](qint64 offset, qint64 size) {
        return offset >= 0 && file.seek(offset) ? file.read(size) : QByteArray();
    };
    const QByteArray header = readAt(0, 512);
    if (header.size() < 512)
        return false;
    const quint32 sectorShift = littleEndian(header, 0x1e, 2);
    if (sectorShift != 9 && sectorShift != 12)
        return false;
    const qint64 sectorSize = qint64(1) << sectorShift;
    const auto sectorOffset = [sectorSize](quint32 sector) { return (qint64(sector) + 1) * sectorSize; };
    const QByteArray directory = readAt(sectorOffset(littleEndian(header, 0x30, 4)), sectorSize);
    for (qsizetype entry = 0; entry + 128 <= directory.size(); entry += 128) {
        const quint32 nameBytes = littleEndian(directory, entry + 64, 2);
        if (nameBytes < 2 || nameBytes > 64 || directory.at(entry + 66) != 2) // 2: a stream
            continue;
        const QString name = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(directory.constData() + entry), qsizetype(nameBytes / 2 - 1));
        if (name.compare(QLatin1String("Workbook"), Qt::CaseInsensitive) != 0
            && name.compare(QLatin1String("Book"), Qt::CaseInsensitive) != 0)
            continue;
        // Small streams live in the mini stream; Excel never writes a workbook that small.
        if (littleEndian(directory, entry + 120, 4) < 4096)
            return false;
        const QByteArray start = readAt(sectorOffset(littleEndian(directory, entry + 116, 4)), 256);
        if (start.size() < 8 || littleEndian(start, 0, 2) != 0x0809)
            return false;
        const qsizetype next = 4 + qsizetype(littleEndian(start, 2, 2));
        return next + 2 <= start.size() && littleEndian(start, next, 2) == 0x002f;
    }
    return false;
}

// Owns the child until it has been reaped, killing it if the parent gives up early.
class ChildProcess
{
public:
    explicit ChildProcess(pid_t pid)
        : m_pid(pid)
    {
    }
    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            wait();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int wait()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid;
};

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

} // namespace

namespace {

XlsReader::ChildHook childHook = nullptr;

} // namespace

void XlsReader::setChildHookForTesting(ChildHook hook)
{
    childHook = hook;
}

XlsReader::XlsReader(const QString& path, Isolation isolation)
    : m_path(path)
    , m_isolation(isolation)
{
}

WorkbookTable XlsReader::read(const QString& sheetName, bool headerRow)
{
    if (declaresFilePass(m_path))
        throw WorkbookError::passwordProtected(m_path);
    const QByteArray nativePath = QFile::encodeName(m_path);
    SheetTableBuilder builder(m_path);

    if (m_isolation == Isolation::InProcess) {
        std::string messages;
        MessageWriter writer(appendToString, &messages);
        produceCells(nativePath, sheetName, writer);
        writer.flush();
        size_t position = 0;
        MessageReader reader(
            [&](char* buffer, qint64 size) {
                const size_t count = std::min(size_t(size), messages.size() - position);
                std::memcpy(buffer, messages.data() + position, count);
                position += count;
                return qint64(count);
            },
            m_path);
        reader.readInto(builder, sheetName);
        return builder.finish(headerRow);
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw WorkbookError::damaged(
            m_path, QStringLiteral("no pipe for the reader: %1").arg(qt_error_string(errno)));
    FileDescriptor readEnd(fds[0]);
    FileDescriptor writeEnd(fds[1]);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw WorkbookError::damaged(
            m_path, QStringLiteral("no process for the reader: %1").arg(qt_error_string(errno)));
    if (pid == 0) {
        readEnd.reset();
        limitChild();
        if (childHook != nullptr)
            childHook();
        int fd = writeEnd.get();
        MessageWriter writer(writeToPipe, &fd);
        produceCells(nativePath, sheetName, writer);
        _exit(writer.flush() ? 0 : 1);
    }
    ChildProcess child(pid);
    writeEnd.reset();

    bool silent = false;
    MessageReader reader(
        [&](char* buffer, qint64 size) -> qint64 {
            for (;;) {
                pollfd waiting { readEnd.get(), POLLIN, 0 };
                const int ready = ::poll(&waiting, 1, silenceLimitMilliseconds);
                if (ready < 0 && errno == EINTR)
                    continue;
                if (ready == 0) {
                    silent = true;
                    return 0;
                }
                const ssize_t count = ::read(readEnd.get(), buffer, size_t(size));
                if (count < 0 && errno == EINTR)
                    continue;
                return count < 0 ? 0 : count;
            }
        },
        m_path);
    try {
        reader.readInto(builder, sheetName);
    } catch (const WorkbookError& error) {
        if (error.reason() != WorkbookError::Reason::Damaged)
            throw;
        // The stream broke off: the child's fate says why.
        if (silent)
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader stopped responding"));
        const int status = child.wait();
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
            throw WorkbookError::tooLarge(m_path, QStringLiteral("reading took too long"));
        if (WIFSIGNALED(status))
            throw WorkbookError::damaged(
                m_path, QStringLiteral("the reader failed with signal %1").arg(WTERMSIG(status)));
        throw;
    }
    child.wait();
    return builder.finish(headerRow);
}

} // namespace glimora::engine
