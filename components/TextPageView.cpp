#include "components/TextPageView.h"

#include <memory>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

namespace glimora::components {

namespace {

// The charset a Content-Type header names, if any.
QByteArray charsetOf(const QByteArray& contentType)
{
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray item = part.trimmed();
        if (item.toLower().startsWith("charset="))
            return item.mid(8).trimmed().replace('"', "");
    }
    return {};
}

// A page's pictures and style sheets, read within the limits of a page. QTextBrowser, its
// document and its picture drawing would each read any file the page names, whole and on the
// screen's thread: a pipe would hold the screen, a huge file the memory.
class PageTextBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl& name) override
    {
        const QUrl url = QUrl(document()->metaInformation(QTextDocument::DocumentUrl)).resolved(name);
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("data") || scheme == QLatin1String("qrc"))
            return QTextBrowser::loadResource(type, name);
        const QByteArray bytes = url.isLocalFile() ? limitedRead(url.toLocalFile()) : QByteArray();
        if (type != QTextDocument::ImageResource)
            return bytes; // empty, not null: the document then reads nothing itself either
        // A picture that is no picture is drawn as missing; the drawing would otherwise load
        // the file by its name itself.
        QImage image = QImage::fromData(bytes);
        if (image.isNull())
            image.load(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png"));
        if (image.isNull()) {
            image = QImage(16, 16, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
        }
        return image;
    }

private:
    static QByteArray limitedRead(const QString& path)
    {
        const QFileInfo info(path);
        if (!info.isFile() || info.size() > TextPageView::MaximumPageBytes)
            return QByteArray();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        const QByteArray bytes = file.read(TextPageView::MaximumPageBytes + 1);
        if (bytes.size() > TextPageView::MaximumPageBytes || file.error() != QFileDevice::NoError)
            return QByteArray();
        return bytes;
    }
};

} // namespace

TextPageView::TextPageView(QWidget* parent)
    : PageView(parent)
    , m_browser(new PageTextBrowser(this))
    , m_network(new QNetworkAccessManager(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setOpenLinks(false);
    m_browser->setFrameShape(QFrame::NoFrame);
    m_network->setTransferTimeout(TransferTimeoutMs);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
        if (mayGo(m_url.resolved(link)))
            navigate(m_url.resolved(link));
    });
    connect(m_network, &QNetworkAccessManager::finished, this, &TextPageView::replyFinished);
}

TextPageView::~TextPageView()
{
    abortPending();
    // Readers still at work stop at their next block; the view waits for them, so none
    // outlives it.
    for (QThread* reader : findChildren<QThread*>(Qt::FindDirectChildrenOnly)) {
        reader->requestInterruption();
        reader->wait();
    }
}

void TextPageView::navigate(const QUrl& url)
{
    abortPending();
    ++m_navigation;
    m_url = url;
    if (!url.isValid() || url.isEmpty()) {
        showError(QStringLiteral("地址无效"));
        return;
    }
    if (url.isLocalFile()) {
        readLocalFile(url.toLocalFile());
        return;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        showError(QStringLiteral("不支持的地址类型：%1").arg(url.scheme()));
        return;
    }
    QNetworkReply* reply = m_network->get(QNetworkRequest(url));
    m_pending = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64) {
        if (received <= MaximumPageBytes || reply != m_pending)
            return;
        abortPending();
        showError(QStringLiteral("页面过大"));
    });
}

// A local page is read on a worker, and no more of it than a web page may have: a large
// file on a slow disk must not freeze the screen.
void TextPageView::readLocalFile(const QString& path)
{
    struct Result
    {
        QByteArray bytes;
        QString problem;
    };
    auto result = std::make_shared<Result>();
    QThread* reader = QThread::create([path, result]() {
        // A pipe or a device would hold the reader, and the view that waits for it, until
        // someone else writes to it: only files are pages.
        const QFileInfo info(path);
        if (info.exists() && !info.isFile()) {
            result->problem = QStringLiteral("不是文件");
            return;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            result->problem = file.errorString();
            return;
        }
        // In blocks, so that a view going away need not wait for a whole page.
        constexpr qint64 block = 1024 * 1024;
        while (result->bytes.size() <= MaximumPageBytes) {
            if (QThread::currentThread()->isInterruptionRequested()) {
                result->bytes.clear();
                return;
            }
            const QByteArray read = file.read(qMin(block, MaximumPageBytes + 1 - result->bytes.size()));
            if (read.isEmpty())
                break;
            result->bytes.append(read);
        }
        if (file.error() != QFileDevice::NoError)
            result->problem = file.errorString();
        else if (result->bytes.size() > MaximumPageBytes)
            result->problem = QStringLiteral("页面过大");
        if (!result->problem.isEmpty())
            result->bytes.clear();
    });
    reader->setParent(this);
    const quint64 navigation = m_navigation;
    connect(reader, &QThread::finished, this, [this, result, navigation]() {
        if (navigation != m_navigation)
            return; // the person has gone on to another page
        if (!result->problem.isEmpty()) {
            showError(result->problem);
            return;
        }
        showHtml(result->bytes, QByteArray());
        emit loadFinished(true);
    });
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}

void TextPageView::replyFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    if (reply != m_pending)
        return; // an earlier page the person has already left
    m_pending = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && status < 400) {
        showError(reply->errorString());
        return;
    }
    if (status >= 400) {
        // The server's own error page says more than we could.
        const QByteArray body = reply->readAll();
        if (body.isEmpty())
            showError(QStringLiteral("HTTP %1").arg(status));
        else
            showHtml(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
        emit loadFinished(false);
        return;
    }
    showHtml(reply->readAll(), reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
    emit loadFinished(true);
}

void TextPageView::showHtml(const QByteArray& bytes, const QByteArray& contentType)
{
    const QByteArray charset = charsetOf(contentType);
    QStringDecoder decoder
        = charset.isEmpty() ? QStringDecoder::decoderForHtml(bytes) : QStringDecoder(charset.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    m_browser->document()->setMetaInformation(QTextDocument::DocumentUrl, m_url.toString());
    if (contentType.toLower().startsWith("text/plain"))
        m_browser->setPlainText(text);
    else
        m_browser->setHtml(text);
}

void TextPageView::showError(const QString& reason)
{
    m_browser->setHtml(QStringLiteral("<html><body><h3>无法显示该网页</h3><p>%1</p><p>%2</p></body></html>")
                           .arg(m_url.toString().toHtmlEscaped(), reason.toHtmlEscaped()));
    emit loadFinished(false);
}

void TextPageView::abortPending()
{
    if (!m_pending)
        return;
    QNetworkReply* reply = m_pending;
    m_pending = nullptr;
    reply->abort();
}

void TextPageView::requestPlainText(const std::function<void(const QString&)>& receiver) const
{
    receiver(m_browser->toPlainText());
}

} // namespace glimora::components
