// Painting the display area: the result page, or the picture of the current record.
#include "query/QueryDialog.h"

#include "data/DbError.h"
#include "query/RecordPicture.h"
#include "query/ResultPage.h"
#include "query/TitleStrip.h"
#include "settings/SettingsFile.h"
#include "ui/SharedFonts.h"

#include <algorithm>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>

namespace glimora::query {

namespace {

// piclw is a single-precision number with a decimal point, whatever the desktop's locale.
double pictureRatio()
{
    return double(settings::leadingFloat(
        settings::ReadSetting(QStringLiteral("show"), QStringLiteral("piclw"), QStringLiteral("1.33"))));
}

} // namespace

void QueryDialog::placeTitle(bool pictureView)
{
    const ResultPage::Geometry g = ResultPage::Geometry::fromSettings();
    QRect box = g.titleBox(width());
    if (pictureView)
        box.setBottom(g.topBlank - g.nameMove + g.fBlank - 1);
    // A large title stands on one line in the middle of the banner, left of the search entry,
    // which takes the room its hint needs; one too long for that keeps the ordinary size.
    QFont font = ui::sharedFont(2);
    if (m_largeText) {
        if (m_searchEntry)
            box.setRight(std::min(box.right(), m_searchEntry->x() - 10));
        const QFont large = screenFont(2);
        const QFontMetrics metrics(large);
        if (metrics.horizontalAdvance(reportTitle()) <= box.width() && metrics.height() <= g.topBlank) {
            font = large;
            box.setTop((g.topBlank - metrics.height()) / 2);
            box.setHeight(metrics.height());
        }
    }
    if (m_titleStrip->font() != font)
        m_titleStrip->setFont(font);
    if (m_titleStrip->geometry() != box)
        m_titleStrip->setGeometry(box);
    m_titleStrip->setTitle(reportTitle());
}

void QueryDialog::OnPaint(QPainter& painter)
{
    const bool picture = m_pictureView && !m_resultPageNow;
    m_resultPageNow = false;
    placeTitle(picture);
    if (picture)
        paintPicture(painter);
    else
        paintResultPage(painter);
}

void QueryDialog::drawResultPageNow()
{
    m_resultPageNow = true;
    repaint();
    m_resultPageNow = false;
}

void QueryDialog::paintResultPage(QPainter& painter)
{
    if (QWidget* frame = control(1169); !frame->isHidden())
        frame->hide();
    ResultPage page(m_catalogue, m_resultCursor, m_whereClause);
    page.setSeveralValues(pageSeveralValues());
    page.setLargeText(m_largeText);
    if (!m_searchQuery.isEmpty())
        page.setEmptyMessage(searchFoundNothing());
    const int step = page.draw(painter, 0, width(), displayBottom());
    m_drawnRows = page.drawnRows();
    if (step < 0)
        return;
    m_pageStep = step;
    if (!homePageShown())
        setTimer(0, 200);
}

QRect QueryDialog::pictureBox() const
{
    const ResultPage::Geometry g = ResultPage::Geometry::fromSettings();
    return RecordPicture::box(width(), g.topBlank - g.nameMove + g.fBlank, displayBottom(), pictureRatio());
}

void QueryDialog::ClearDisplayArea()
{
    control(1169)->hide();
    m_pictureState = PictureState::Cleared;
    update();
}

void QueryDialog::ShowRecordPicture()
{
    ClearDisplayArea();
    m_pictureView = true;
    setTimer(0, 200);
    // Without a current record nothing of the last record may stay on display.
    m_picture = QImage();
    m_pictureData = data::Variant::null();
    m_recordQr = QrCode();
    if (m_resultCursor.isNull() || m_resultCursor.BOF() || m_resultCursor.EndOfFile())
        return;
    m_recordQr = QrCode::encode(recordLink().toUtf8());
    try {
        m_pictureData = m_resultCursor.Item(QStringLiteral("d51")).Value();
    } catch (const data::DbError&) {
        // The record query does not select d51.
        m_pictureData = data::Variant::null();
    }
    if (m_pictureData.kind() == data::Variant::Kind::Bytes) {
        const QRect box = pictureBox();
        m_picture = RecordPicture::decode(m_pictureData.toBytes(), box.size() - QSize(2, 2));
    }
    if (m_picture.isNull()) {
        m_pictureData = data::Variant::null();
        m_pictureState = PictureState::NoPicture;
        return;
    }
    m_pictureState = PictureState::Picture;
    QWidget* frame = control(1169);
    frame->setGeometry(pictureBox());
    if (!homePageShown())
        frame->show();
}

void QueryDialog::paintPicture(QPainter& painter)
{
    const ResultPage::Geometry g = ResultPage::Geometry::fromSettings();
    const QRect area(QPoint(0, g.topBlank), QPoint(width(), displayBottom()));
    painter.fillRect(area, Qt::white);
    painter.setPen(QColor(0, 0, 255));
    switch (m_pictureState) {
    case PictureState::Cleared:
        return;
    case PictureState::NoPicture:
        painter.setFont(screenFont(2));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, RecordPicture::noPictureMessage());
        paintRecordQrCode(painter);
        return;
    case PictureState::Picture: {
        QWidget* frame = control(1169);
        const QRect box = pictureBox();
        if (frame->geometry() != box)
            frame->setGeometry(box);
        painter.drawImage(box.adjusted(1, 1, -1, -1), m_picture);
        paintRecordQrCode(painter);
        return;
    }
    }
}

} // namespace glimora::query
