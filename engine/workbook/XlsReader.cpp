#include "engine/workbook/XlsReader.h"

#include "engine/workbook/BiffReader.h"
#include "engine/workbook/CellMessage.h"
#include "engine/workbook/CellMessageReader.h"
#include "engine/workbook/CellMessageWriter.h"
#include "engine/workbook/CompoundFile.h"
#include "engine/workbook/SheetTableBuilder.h"
#include "platform/IsolatedChild.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <QFile>
#include <string>

namespace glimora::engine {

namespace {

XlsReader::ChildHook childHook = nullptr;

// A workbook file larger than this is refused before it is read into the child's memory.
constexpr qint64 maximumFileSize = qint64(1) << 30;

// Reads the sheet and writes its cells, or the reason it cannot. Runs in the child.
void produceCells(const QByteArray& path, const QString& sheetName, CellMessageWriter& writer)
{
    try {
        QFile file(QFile::decodeName(path));
        if (!file.open(QIODevice::ReadOnly)) {
            writer.failure(CellMessage::missingFile, "");
            return;
        }
        if (file.size() > maximumFileSize) {
            writer.failure(CellMessage::tooLarge, "a file of more than 1 GB");
            return;
        }
        const QByteArray bytes = file.readAll();
        const CompoundFile container(bytes);
        std::optional<QByteArray> stream = container.rootStream(QStringLiteral("Workbook"));
        if (!stream)
            stream = container.rootStream(QStringLiteral("Book"));
        if (!stream) {
            // Office keeps an encrypted .xlsx in a compound file too, beside no workbook stream.
            writer.failure(container.rootStream(QStringLiteral("EncryptedPackage"))
                    ? CellMessage::passwordProtected
                    : CellMessage::notAWorkbook,
                "");
            return;
        }
        BiffReader(*stream).readSheet(sheetName, writer);
    } catch (const BiffReader::Failure& failure) {
        writer.failure(failure.kind(), failure.what());
    } catch (const CompoundFile::Damaged& damage) {
        writer.failure(CellMessage::damaged, damage.what());
    } catch (const std::bad_alloc&) {
        writer.failure(CellMessage::tooLarge, "out of memory");
    }
}

bool writeToPipe(void* context, const char* data, size_t size)
{
    return platform::IsolatedChild::writeAll(*static_cast<int*>(context), data, size);
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
    SheetTableBuilder builder(m_path);
    read(sheetName, builder);
    return builder.finish(headerRow);
}

void XlsReader::read(const QString& sheetName, SheetCells& cells)
{
    const QByteArray nativePath = QFile::encodeName(m_path);

    if (m_isolation == Isolation::InProcess) {
        std::string messages;
        CellMessageWriter writer(appendToString, &messages);
        produceCells(nativePath, sheetName, writer);
        writer.flush();
        size_t position = 0;
        CellMessageReader reader(
            [&](char* buffer, qint64 size) {
                const size_t count = std::min(size_t(size), messages.size() - position);
                std::copy_n(messages.data() + position, count, buffer);
                position += count;
                return qint64(count);
            },
            m_path);
        reader.readInto(cells, sheetName);
        return;
    }

    platform::IsolatedChild child;
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
        reader.readInto(cells, sheetName);
    } catch (const WorkbookError& error) {
        // A refusal of the cells' receiver: the child may still be writing; the destructor
        // ends it.
        if (error.reason() != WorkbookError::Reason::Damaged || !reader.sourceEnded())
            throw;
        // The stream broke off: the child's fate says why.
        if (child.fellSilent())
            throw WorkbookError::damaged(m_path, QStringLiteral("the reader stopped responding"));
        const platform::IsolatedChild::Ending ending = child.wait();
        if (ending.kind == platform::IsolatedChild::Ending::Kind::OutOfTime)
            throw WorkbookError::tooLarge(m_path, QStringLiteral("reading took too long"));
        if (ending.kind == platform::IsolatedChild::Ending::Kind::Signalled)
            throw WorkbookError::damaged(
                m_path, QStringLiteral("the reader failed with signal %1").arg(ending.code));
        throw;
    }
    child.wait();
}

} // namespace glimora::engine
