#pragma once

#include <QTabBar>

namespace glimora::ui {

// The tab strip of the templates. Like the platform's tab control it reports a change of
// the selected tab only when the user made it, not when the screen selects a tab itself.
class TabControl : public QTabBar
{
    Q_OBJECT
public:
    explicit TabControl(QWidget* parent = nullptr);

signals:
    void selectionChangedByUser(int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void reportChange(int index);

    bool m_userAction = false;
};

} // namespace glimora::ui
