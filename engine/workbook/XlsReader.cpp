#include "engine/workbook/XlsReader.h"

#include "engine/workbook/CellMessage.h"
#include "engine/workbook/CellMessageReader.h"
#include "engine/workbook/CellMessageWriter.h"
#include "engine/workbook/CompoundFile.h"
#include "engine/workbook/IsolatedChild.h"
#include "engine/workbook/SheetTableBuilder.h"

#include <cerrno>
#include <cstring>
#include <freexl.h>
#include <QFile>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace glimora::engine {

namespace {

XlsReader::ChildHook childHook = nullptr;

// libfreexl asks to be closed even after a failed open.
struct FreexlHandle
{
    const void* handle = nullptr;
    ~FreexlHandle()
    {
        if (handle != nullptr)
            freexl_close(handle);
    }
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
void produceCells(const QByteArray& path, const QString& sheetName, CellMessageWriter& writer)
{
    {
        // The abbreviated parse still answers the password question when the full parse
        // would trip over encrypted records.
        FreexlHandle info;
        const int result = freexl_open_info(path.constData(), &info.handle);
        unsigned int password = 0;
        if (result == FREEXL_OK && freexl_get_info(info.handle, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
            && password == FREEXL_BIFF_OBFUSCATED) {
            writer.failure(CellMessage::passwordProtected, "");
            return;
        }
    }
    FreexlHandle workbook;
    const int opened = freexl_open(path.constData(), &workbook.handle);
    if (opened == FREEXL_FILE_NOT_FOUND) {
        writer.failure(CellMessage::missingFile, "");
        return;
    }
    if (opened == FREEXL_BIFF_WORKBOOK_NOT_FOUND) {
        writer.failure(CellMessage::notAWorkbook, "");
        return;
    }
    if (opened != FREEXL_OK) {
        writer.failure(CellMessage::damaged, freexlErrorText(opened));
        return;
    }
    unsigned int password = 0;
    if (freexl_get_info(workbook.handle, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
        && password == FREEXL_BIFF_OBFUSCATED) {
        writer.failure(CellMessage::passwordProtected, "");
        return;
    }
    unsigned int sheetCount = 0;
    if (freexl_get_info(workbook.handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) {
        writer.failure(CellMessage::damaged, "no worksheet list");
        return;
    }
    int sheetIndex = -1;
    for (unsigned int i = 0; i < sheetCount && sheetIndex < 0; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(workbook.handle, quint16(i), &name) == FREEXL_OK && name != nullptr
            && QString::fromUtf8(name).compare(sheetName, Qt::CaseInsensitive) == 0)
            sheetIndex = int(i);
    }
    if (sheetIndex < 0) {
        writer.failure(CellMessage::missingSheet, "");
        return;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(workbook.handle, quint16(sheetIndex)) != FREEXL_OK
        || freexl_worksheet_dimensions(workbook.handle, &rows, &columns) != FREEXL_OK) {
        writer.failure(CellMessage::damaged, "unreadable worksheet");
        return;
    }
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            const int result = freexl_get_cell_value(workbook.handle, row, column, &value);
            if (result != FREEXL_OK) {
                writer.failure(CellMessage::damaged, freexlErrorText(result));
                return;
            }
            if (value.type == FREEXL_CELL_NULL)
                continue;
            writer.byte(CellMessage::cell);
            writer.u32(row);
            writer.u16(column);
            switch (value.type) {
            case FREEXL_CELL_INT:
                writer.byte(CellMessage::number);
                writer.number(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                writer.byte(CellMessage::number);
                writer.number(value.value.double_value);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                writer.byte(CellMessage::date);
                writer.text(value.value.text_value != nullptr ? value.value.text_value : "");
                break;
            default:
                writer.byte(CellMessage::text);
                writer.text(value.value.text_value != nullptr ? value.value.text_value : "");
                break;
            }
        }
    }
    writer.byte(CellMessage::done);
}

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
    if (CompoundFile::declaresFilePass(m_path))
        throw WorkbookError::passwordProtected(m_path);
    const QByteArray nativePath = QFile::encodeName(m_path);
    SheetTableBuilder builder(m_path);

    if (m_isolation == Isolation::InProcess) {
        std::string messages;
        CellMessageWriter writer(appendToString, &messages);
        produceCells(nativePath, sheetName, writer);
        writer.flush();
        size_t position = 0;
        CellMessageReader reader(
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

    IsolatedChild child;
    const bool started = child.start([&](int outputFd) {
        if (childHook != nullptr)
            childHook();
        CellMessageWriter writer(writeToPipe, &outputFd);
        produceCells(nativePath, sheetName, writer);
        return writer.flush();
    });
    if (!started)
        throw WorkbookError::damaged(
            m_path, QStringLiteral("no process for the reader: %1").arg(qt_error_string(errno)));

    CellMessageReader reader(
        [&child](char* buffer, qint64 size) { return child.read(buffer, size); }, m_path);
    try {
        reader.readInto(builder, sheetName);
    } catch (const WorkbookError& error) {
        if (error.reason() != WorkbookError::Reason::Damaged)
            throw;
        // The stream broke off: the child's fate says why.
        if (child.fellSilent())
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
