#include "query/SlipOutput.h"

#include "query/PrintLayout.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace glimora::query {

QString SlipOutput::toPrinter(const PrintLayout& layout, const QString& printerName)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (info.isNull())
        return QString::fromUtf8("打印机“%1”不可用，请联系管理员。").arg(printerName);
    QPrinter printer(info, QPrinter::HighResolution);
    return toPrinter(layout, printer, printerName);
}

QString SlipOutput::toPrinter(const PrintLayout& layout, QPrinter& printer, const QString& printerName)
{
    printer.setDocName(QStringLiteral("glimora"));
    if (layout.render(printer) == 0 || printer.printerState() == QPrinter::Error)
        return QString::fromUtf8("打印机“%1”未能接受打印任务，请联系管理员。").arg(printerName);
    return QString();
}

QString SlipOutput::toPdf(
    const PrintLayout& layout, const QString& folder, const QDateTime& at, QString* written)
{
    const QString refusal = QString::fromUtf8("无法在“%1”保存打印文件，请联系管理员。").arg(folder);
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return refusal;
    const QString stem = QStringLiteral("slip-") + at.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString path = dir.absoluteFilePath(stem + QStringLiteral(".pdf"));
    // Two slips in one millisecond keep both.
    for (int n = 2; QFile::exists(path); ++n)
        path = dir.absoluteFilePath(stem + QStringLiteral("-%1.pdf").arg(n));
    // The PDF writer does not tell of a write that failed (a full disk): the slip is made in
    // memory and written in one checked piece, under its name only when it is whole.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    bool rendered = false;
    {
        QPdfWriter writer(&pdf);
        writer.setCreator(QStringLiteral("glimora"));
        writer.setResolution(600);
        rendered = layout.render(writer) > 0;
    }
    QSaveFile file(path);
    if (!rendered || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || file.write(pdf.data()) != pdf.data().size() || !file.commit())
        return refusal;
    if (written)
        *written = path;
    return QString();
}

} // namespace glimora::query
