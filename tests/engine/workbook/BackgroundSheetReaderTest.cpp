#include "engine/workbook/BackgroundSheetReader.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

using namespace glimora::engine;

namespace {

// Keeps every cell as text, in the order it came.
struct Recorder : SheetCells
{
    std::vector<std::string> seen;
    void number(qint64 row, int column, double value) override { add(row, column, std::to_string(value)); }
    void text(qint64 row, int column, std::string_view utf8) override
    {
        // A long text by its length and hash, so that a failure prints readably.
        add(row, column,
            utf8.size() < 100
                ? std::string(utf8)
                : std::to_string(utf8.size()) + "#" + std::to_string(std::hash<std::string_view>()(utf8)));
    }
    void dateTime(qint64 row, int column, qint64 ms) override { add(row, column, "@" + std::to_string(ms)); }
    void add(qint64 row, int column, std::string value)
    {
        seen.push_back(std::to_string(row) + ":" + std::to_string(column) + "=" + value);
    }
};

} // namespace

TEST(BackgroundSheetReaderTest, EveryCellArrivesInOrderWithItsTextThenTheReadersFailure)
{
    // Enough cells and text bytes to fill many batches, and a text longer than a batch.
    const std::string longText(BackgroundSheetReader::batchTextBytes + 5, 'x');
    auto read = [&](SheetCells& cells) {
        for (int row = 0; row < 20'000; ++row) {
            cells.text(row, 0, "name " + std::to_string(row));
            cells.number(row, 1, row);
            cells.dateTime(row, 2, row * 1000);
            if (row == 7)
                cells.text(row, 3, longText);
        }
    };
    Recorder expected;
    read(expected);
    Recorder received;
    BackgroundSheetReader::run(read, received);
    EXPECT_EQ(received.seen, expected.seen);

    Recorder beforeFailure;
    EXPECT_THROW(BackgroundSheetReader::run(
                     [&](SheetCells& cells) {
                         read(cells);
                         throw std::runtime_error("damaged");
                     },
                     beforeFailure),
        std::runtime_error);
    EXPECT_EQ(beforeFailure.seen, expected.seen);
}

TEST(BackgroundSheetReaderTest, AReceiverThatFailsStopsAReaderThatNeverEnds)
{
    struct Failing : SheetCells
    {
        int cells = 0;
        void number(qint64, int, double) override
        {
            if (++cells == 100'000)
                throw std::length_error("too large");
        }
        void text(qint64, int, std::string_view) override { }
        void dateTime(qint64, int, qint64) override { }
    } receiver;
    EXPECT_THROW(BackgroundSheetReader::run(
                     [](SheetCells& cells) {
                         for (qint64 row = 0;; ++row)
                             cells.number(row % SheetCells::maximumRows, 0, 1);
                     },
                     receiver),
        std::length_error);
    EXPECT_EQ(receiver.cells, 100'000);
}
