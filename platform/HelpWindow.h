#pragma once

#include <memory>
#include <QDialog>

namespace glimora::platform {

class ChmFile;
class HelpBrowser;

// The help window of our CHM viewer: one page at a time, with back and forward.
class HelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Shows a page of the file; the window keeps the file while it shows it.
    void showTopic(std::unique_ptr<ChmFile> file, const QString& page);
    HelpBrowser* browser() const;

private:
    void updateTitle();

    std::unique_ptr<ChmFile> m_file;
    HelpBrowser* m_browser;
};

} // namespace glimora::platform
