#include "engine/workbook/BackgroundSheetReader.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace glimora::engine {

namespace {

struct Batch
{
    enum class Kind : quint8 { Number, Text, DateTime };
    struct Cell
    {
        qint64 row;
        int column;
        Kind kind;
        union {
            double number;
            qint64 milliseconds;
            size_t textEnd; // in texts, where the cell's text ends (it begins where the last one ended)
        };
    };
    std::vector<Cell> cells;
    std::string texts;

    bool full() const
    {
        return cells.size() >= size_t(BackgroundSheetReader::batchCells)
            || texts.size() >= BackgroundSheetReader::batchTextBytes;
    }
};

// Thrown on the reader's thread to stop it once the receiver has failed.
struct Stopped
{
};

class Queue
{
public:
    // Reader's side: waits for room; throws Stopped once the receiver has given up.
    void push(Batch&& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock,
            [this] { return m_stopped || m_full.size() < size_t(BackgroundSheetReader::queueBatches); });
        if (m_stopped)
            throw Stopped();
        m_full.push_back(std::move(batch));
        m_changed.notify_all();
    }

    // A batch to fill, one handed back if there is one, so that buffers are reused.
    Batch emptyBatch()
    {
        std::lock_guard lock(m_mutex);
        if (m_empty.empty())
            return {};
        Batch batch = std::move(m_empty.back());
        m_empty.pop_back();
        return batch;
    }

    void finish(std::exception_ptr failure)
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_failure = std::move(failure);
        m_changed.notify_all();
    }

    // Receiver's side: false once the reader has finished and every batch is taken.
    bool pop(Batch& batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_finished || !m_full.empty(); });
        if (m_full.empty())
            return false;
        batch = std::move(m_full.front());
        m_full.pop_front();
        m_changed.notify_all();
        return true;
    }

    void giveBack(Batch&& batch)
    {
        batch.cells.clear();
        batch.texts.clear();
        std::lock_guard lock(m_mutex);
        m_empty.push_back(std::move(batch));
    }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

    std::exception_ptr failure()
    {
        std::lock_guard lock(m_mutex);
        return m_failure;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_full;
    std::vector<Batch> m_empty;
    bool m_finished = false;
    bool m_stopped = false;
    std::exception_ptr m_failure;
};

// The cells as the reader gives them, gathered into batches for the queue.
class Batcher : public SheetCells
{
public:
    explicit Batcher(Queue& queue)
        : m_queue(queue)
    {
    }

    void number(qint64 row, int column, double value) override
    {
        Batch::Cell cell { row, column, Batch::Kind::Number, {} };
        cell.number = value;
        add(cell);
    }

    void text(qint64 row, int column, std::string_view utf8) override
    {
        m_batch.texts.append(utf8);
        Batch::Cell cell { row, column, Batch::Kind::Text, {} };
        cell.textEnd = m_batch.texts.size();
        add(cell);
    }

    void dateTime(qint64 row, int column, qint64 millisecondsSinceEpoch) override
    {
        Batch::Cell cell { row, column, Batch::Kind::DateTime, {} };
        cell.milliseconds = millisecondsSinceEpoch;
        add(cell);
    }

    void flush()
    {
        if (m_batch.cells.empty())
            return;
        m_queue.push(std::move(m_batch));
        m_batch = m_queue.emptyBatch();
    }

private:
    void add(const Batch::Cell& cell)
    {
        m_batch.cells.push_back(cell);
        if (m_batch.full())
            flush();
    }

    Queue& m_queue;
    Batch m_batch;
};

void replay(const Batch& batch, SheetCells& cells)
{
    size_t textBegin = 0;
    for (const Batch::Cell& cell : batch.cells) {
        switch (cell.kind) {
        case Batch::Kind::Number:
            cells.number(cell.row, cell.column, cell.number);
            break;
        case Batch::Kind::DateTime:
            cells.dateTime(cell.row, cell.column, cell.milliseconds);
            break;
        case Batch::Kind::Text:
            cells.text(cell.row, cell.column,
                std::string_view(batch.texts.data() + textBegin, cell.textEnd - textBegin));
            textBegin = cell.textEnd;
            break;
        }
    }
}

} // namespace

struct BackgroundSheetReader::State
{
    Queue queue;
    std::thread thread;
    Batch batch;
    bool ended = false;
};

BackgroundSheetReader::BackgroundSheetReader(Reader read)
    : m_state(std::make_unique<State>())
{
    Queue& queue = m_state->queue;
    m_state->thread = std::thread([&queue, read = std::move(read)] {
        std::exception_ptr failure;
        Batcher batcher(queue);
        try {
            read(batcher);
        } catch (const Stopped&) {
            return queue.finish(nullptr);
        } catch (...) {
            failure = std::current_exception();
        }
        try {
            // The cells read before a failure still arrive, ahead of it.
            batcher.flush();
        } catch (const Stopped&) {
        }
        queue.finish(failure);
    });
}

BackgroundSheetReader::~BackgroundSheetReader()
{
    m_state->queue.stop();
    m_state->thread.join();
}

bool BackgroundSheetReader::handNext(SheetCells& cells)
{
    if (m_state->ended)
        return false;
    if (!m_state->queue.pop(m_state->batch)) {
        m_state->ended = true;
        if (const std::exception_ptr failure = m_state->queue.failure())
            std::rethrow_exception(failure);
        return false;
    }
    replay(m_state->batch, cells);
    m_state->queue.giveBack(std::move(m_state->batch));
    return true;
}

void BackgroundSheetReader::run(const Reader& read, SheetCells& cells)
{
    BackgroundSheetReader reader(read);
    while (reader.handNext(cells)) { }
}

} // namespace glimora::engine
