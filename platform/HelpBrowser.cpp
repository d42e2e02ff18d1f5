#include "platform/HelpBrowser.h"

#include "platform/ChmFile.h"

#include <QDesktopServices>
#include <QStringDecoder>

namespace glimora::platform {

namespace {

const QString chmScheme = QStringLiteral("chm");

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent)
    : QTextBrowser(parent)
{
    // Left off: it would send our own chm: links to the desktop as well.
    setOpenExternalLinks(false);
}

void HelpBrowser::setFile(const ChmFile* file)
{
    m_file = file;
}

void HelpBrowser::showPage(const QString& path)
{
    const QUrl url = pageUrl(path);
    // setSource() would keep a page already shown, even when its file has changed.
    if (source() == url)
        reload();
    else
        setSource(url);
}

QUrl HelpBrowser::pageUrl(const QString& path)
{
    QUrl url;
    url.setScheme(chmScheme);
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    return url;
}

QString HelpBrowser::decodePage(const QByteArray& bytes)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (name.scheme() != chmScheme || !m_file)
        return QTextBrowser::loadResource(type, name);
    const QByteArray bytes = m_file->read(name.path());
    if (bytes.isNull())
        return QVariant();
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return decodePage(bytes);
    return bytes;
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    if (!name.isEmpty() && name.scheme() != chmScheme) {
        QDesktopServices::openUrl(name);
        return;
    }
    QTextBrowser::doSetSource(name, type);
}

} // namespace glimora::platform
