#pragma once

#include <QTextBrowser>

namespace glimora::platform {

class ChmFile;

// A text browser that reads its pages, style sheets and pictures out of a CHM file.
// Addresses inside the file use the scheme "chm", for example chm:/login.htm.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // The file is not owned and must outlive its use here.
    void setFile(const ChmFile* file);
    void showPage(const QString& path);

    static QUrl pageUrl(const QString& path);
    // Pages are decoded by their own charset declaration, else as UTF-8.
    static QString decodePage(const QByteArray& bytes);

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    // Pages of the file open here; any other address goes to the desktop's browser.
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    const ChmFile* m_file = nullptr;
};

} // namespace glimora::platform
