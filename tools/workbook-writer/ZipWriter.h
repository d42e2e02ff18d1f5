#pragma once

#include <QByteArray>
#include <QString>

// Writes zip packages for tests (hand-made hostile packages, or a fixture with one part replaced)
// and for the load test.
namespace ZipWriter {

// Adds (or replaces) a part of the package at path, creating the package if needed.
// compress false stores the part as is. False when the package could not be written.
[[nodiscard]] bool putPart(
    const QString& path, const QString& part, const QByteArray& content, bool compress = true);

// Empty when the package or the part cannot be read.
QByteArray readPart(const QString& path, const QString& part);

} // namespace ZipWriter
