#pragma once

#include "engine/workbook/SheetCells.h"

#include <functional>
#include <memory>

namespace glimora::engine {

// Runs a worksheet reader on a thread of its own while the calling thread takes its cells,
// so that parsing the file and storing the rows overlap. The cells pass through a queue of
// a few batches, bounded in cells and in text bytes: memory stays independent of the
// sheet's size, and a reader ahead of its receiver waits.
class BackgroundSheetReader
{
public:
    // Batches of at most this many cells or (roughly) text bytes, at most queueBatches of
    // them waiting.
    static constexpr int batchCells = 4096;
    static constexpr size_t batchTextBytes = 1 << 20;
    static constexpr int queueBatches = 4;

    using Reader = std::function<void(SheetCells& cells)>;

    // Starts read on the thread.
    explicit BackgroundSheetReader(Reader read);
    // Stops a reader not yet at its end (its next cell throws on its thread) and joins it.
    ~BackgroundSheetReader();
    BackgroundSheetReader(const BackgroundSheetReader&) = delete;
    BackgroundSheetReader& operator=(const BackgroundSheetReader&) = delete;

    // Hands the next batch of the reader's cells, in its order, to cells on the calling
    // thread; false once every cell was handed on. Rethrows what read threw, after the
    // cells that came before it.
    bool handNext(SheetCells& cells);

    // Hands every cell to cells. When cells throws, the reader is stopped and joined and
    // the receiver's exception goes on.
    static void run(const Reader& read, SheetCells& cells);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace glimora::engine
