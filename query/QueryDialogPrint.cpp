// Printing what the visitor sees, and the current record's QR code on the picture view.
#include "query/QueryDialog.h"

#include "data/DbError.h"
#include "query/LinkTemplate.h"
#include "query/ResultPage.h"
#include "query/SlipOutput.h"
#include "settings/PrintSetting.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace glimora::query {

using settings::PrintSetting;

void QueryDialog::setUpPrinting()
{
    if (!PrintSetting::printing())
        return;
    m_printButton = new ui::SkinButton(QString(), this);
    m_printButton->setObjectName(QStringLiteral("printButton"));
    m_printButton->setBitmapId(159);
    m_printButton->setCaptionFont(4);
    m_printButton->setCaption(QString::fromUtf8("打印"));
    connect(m_printButton, &QPushButton::clicked, this, [this] {
        try {
            OnPrint();
        } catch (const data::DbError& error) {
            if (!closeOnLostConnection(error))
                ui::OkMessageBox::show(this, QString::fromUtf8("数据库异常，请稍后再试。"));
        }
    });
    placePrintButton();
    m_printButton->show();
}

// Under the page buttons, where the panel leaves a strip free at every screen size.
void QueryDialog::placePrintButton()
{
    if (!m_printButton)
        return;
    const QRect pageUp = control(1137)->geometry();
    const QRect pageDown = control(1138)->geometry();
    // The size of the navigation buttons, whose skin it wears: a wider button would tile it.
    const QSize size = control(1057)->size();
    const int top = std::min(pageUp.bottom() + 6, this->height() - size.height() - 2);
    const int centre = (pageUp.left() + pageDown.right()) / 2;
    m_printButton->setGeometry(QRect(QPoint(centre - size.width() / 2, top), size));
}

QString QueryDialog::recordLink() const
{
    const data::Recordset& cursor = m_resultCursor;
    if (cursor.isNull() || cursor.BOF() || cursor.EndOfFile())
        return QString();
    return LinkTemplate(PrintSetting::linkTemplate()).expand([&cursor](const QString& column) {
        try {
            // The screen rounds a number through a double; a code in the link must not be.
            // Zero places go, as on screen.
            const data::Variant value = cursor.Item(column).Value();
            if (value.kind() == data::Variant::Kind::Decimal) {
                QString text = value.toDecimal().toString();
                const qsizetype point = text.indexOf(QLatin1Char('.'));
                if (point >= 0
                    && QStringView(text).sliced(point + 1).count(QLatin1Char('0')) == text.size() - point - 1)
                    text.truncate(point);
                return text;
            }
            return ResultPage::FormatCellValue(cursor, 0, column);
        } catch (const data::DbError&) {
            // The record query does not select the column.
            return QString();
        }
    });
}

QStringList QueryDialog::printedRecord(const QList<int>& widths) const
{
    QStringList texts;
    for (int j = 0; j < widths.size(); ++j) {
        if (widths[j] == 0)
            continue;
        try {
            texts << ResultPage::FormatCellValue(m_resultCursor, j, QString());
        } catch (const data::DbError&) {
            texts << QStringLiteral("*");
        }
    }
    return texts;
}

PrintSlip QueryDialog::printSlip() const
{
    PrintSlip slip;
    slip.title = reportTitle();
    slip.company = companyName();
    slip.printedAt = QDateTime::currentDateTime();
    slip.textHeight = ResultPage::Geometry::fromSettings().summaryHeight;
    QStringList summary;
    if (!m_searchQuery.isEmpty()) {
        // The records on display are the search's, whatever the path or the lists hold.
        summary << QString::fromUtf8("搜索：") + m_searchEntry->text().trimmed();
    } else if (m_mode == 0) {
        summary << control<QLabel>(1141)->text().trimmed();
    } else {
        for (int n = 1; n <= FilterCount; ++n) {
            const QString value = filterList(n)->currentText().trimmed();
            if (!value.isEmpty())
                summary << filterLabel(n)->text().trimmed() + QStringLiteral(" : ") + value;
        }
    }
    data::Recordset cursor = m_resultCursor;
    if (cursor.isNull() || (cursor.BOF() && cursor.EndOfFile())) {
        slip.summary = summary.join(QStringLiteral("    "));
        return slip;
    }
    if (cursor.BOF())
        cursor.MoveFirst();
    ResultPage page(m_catalogue, cursor, m_whereClause);
    page.setSeveralValues(pageSeveralValues());
    const ResultPage::Columns columns = page.columns();
    if (!columns.summary.isEmpty())
        summary << columns.summary;
    slip.summary = summary.join(QStringLiteral("    "));
    for (int j = 0; j < columns.widths.size(); ++j) {
        if (columns.widths[j] == 0)
            continue;
        slip.captions << columns.captions[j];
        slip.widths << columns.widths[j];
    }
    slip.link = recordLink();

    // The cursor is the screen's: it goes back where it was.
    const long position = cursor.AbsolutePosition();
    const bool all = PrintSetting::allRecords();
    // The picture view's page is its one record.
    const int most = all ? PrintSetting::limit()
        : m_pictureView  ? 1
                         : ResultPage::Geometry::fromSettings().rowsPerPage(displayBottom());
    if (all)
        cursor.MoveFirst();
    int moved = 0;
    while (!cursor.EndOfFile() && slip.records.size() < most) {
        slip.records << printedRecord(columns.widths);
        cursor.MoveNext();
        ++moved;
    }
    if (all) {
        if (position > 0)
            cursor.SetAbsolutePosition(position);
        else
            cursor.MoveFirst();
    } else {
        for (int i = 0; i < moved; ++i)
            cursor.MovePrevious();
    }
    return slip;
}

void QueryDialog::OnPrint()
{
    inputSeen();
    const PrintLayout layout(printSlip(), PrintSetting::paper());
    QStringList problems;
    if (const QString printer = PrintSetting::printer(); !printer.isEmpty())
        problems << SlipOutput::toPrinter(layout, printer);
    if (const QString folder = PrintSetting::pdfFolder(); !folder.isEmpty())
        problems << SlipOutput::toPdf(layout, folder, QDateTime::currentDateTime());
    problems.removeAll(QString());
    if (!problems.isEmpty())
        ui::OkMessageBox::show(this, problems.join(QLatin1Char('\n')));
}

// Right of the picture where the screen leaves room, otherwise in the display area's corner.
void QueryDialog::paintRecordQrCode(QPainter& painter)
{
    if (m_recordQr.isNull())
        return;
    const ResultPage::Geometry g = ResultPage::Geometry::fromSettings();
    const QRect area(QPoint(0, g.topBlank), QPoint(width() - 1, displayBottom() - 1));
    const QRect box = pictureBox();
    const int room = area.right() - box.right();
    int side = std::min({ room - 20, area.height() - 20, 240 });
    QRect place;
    if (side >= 120) {
        place = QRect(box.right() + (room - side) / 2, area.top() + 10, side, side);
    } else {
        side = std::min(160, area.height());
        place = QRect(area.right() - side - 4, area.top() + 4, side, side);
    }
    m_recordQr.paint(painter, place);
}

} // namespace glimora::query
