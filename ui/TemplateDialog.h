#pragma once

#include "res/DialogTemplate.h"
#include "ui/SkinnedDialogColors.h"

#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QPointer>

#include <functional>
#include <optional>
#include <type_traits>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QWheelEvent;

namespace glimora::ui {

class SkinButton;

// Results of a modal run.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// The base of every screen: builds the widgets of a numbered template, finds them by id,
// runs modally and routes notifications through the screen's handler table.
//
// A screen registers its handlers in its constructor:
//
//     LoginDialog::LoginDialog() : TemplateDialog(129)
//     {
//         onClicked(1, &LoginDialog::logIn);
//         onClicked(140, &LoginDialog::showHelp);
//         enableEnterAsTab({ 1 });
//     }
//
// Buttons 1 and 2 without a handler end the run with IDOK and IDCANCEL.
class TemplateDialog : public QDialog
{
    Q_OBJECT
public:
    // Makes the widget of a data control, data grid or web browser for every dialog built
    // afterwards; until one is registered, a placeholder stands in its place.
    using ComponentFactory = std::function<QWidget*(const res::ControlTemplate&, QWidget* parent)>;
    static void setComponentFactory(res::ControlKind kind, ComponentFactory factory);

    explicit TemplateDialog(int templateId, QWidget* parent = nullptr);
    ~TemplateDialog() override;

    const res::DialogTemplate& dialogTemplate() const { return *m_template; }

    // The control with that id, or nullptr.
    QWidget* control(int id) const { return m_controls.value(id); }
    template <class T> T* control(int id) const { return qobject_cast<T*>(control(id)); }
    SkinButton* skinButton(int id) const;
    // The id of a control, or res::StaticId.
    int controlId(const QWidget* control) const;

    // Runs modally; returns IDOK, IDCANCEL or the result given to endDialog().
    int runModal();
    void endDialog(int result);
    void done(int result) override;
    void reject() override;

    // Timers with the screen's own ids; starting a running id restarts it.
    void setTimer(int timerId, int milliseconds);
    void stopTimer(int timerId);
    bool isTimerActive(int timerId) const;

    // The background and static-text colours; the default leaves the platform's.
    void setColors(const SkinnedDialogColors& colors);
    const SkinnedDialogColors& colors() const { return m_colors; }

    // The ids first..last, for handlers shared by a run of controls:
    // onClicked(idRange(1003, 1023) + idRange(1025, 1032), &QueryDialog::valueChosen).
    static QList<int> idRange(int first, int last);

protected:
    // ---- the handler table ----
    template <class D> void onClicked(int id, void (D::*handler)()) { add(m_clicked, id, bind(handler)); }
    template <class D> void onClicked(const QList<int>& ids, void (D::*handler)(int id))
    {
        for (const int id : ids)
            add(m_clicked, id, bindWithId(handler));
    }
    template <class D> void onDoubleClicked(int id, void (D::*handler)())
    {
        add(m_doubleClicked, id, bind(handler));
    }
    template <class D> void onDropDown(int id, void (D::*handler)()) { add(m_dropDown, id, bind(handler)); }
    template <class D> void onDropDown(const QList<int>& ids, void (D::*handler)(int id))
    {
        for (const int id : ids)
            add(m_dropDown, id, bindWithId(handler));
    }
    template <class D> void onSelectionChanged(int id, void (D::*handler)())
    {
        add(m_selectionChanged, id, bind(handler));
    }
    // A click anywhere in a tree view, with the point in its viewport's coordinates.
    template <class D> void onTreeClicked(int id, void (D::*handler)(const QPoint& point))
    {
        self<D>();
        m_treeClicked.insert(
            id, [this, handler](const QPoint& point) { (static_cast<D*>(this)->*handler)(point); });
    }
    // Every timer of the screen, with its id.
    template <class D> void onTimer(void (D::*handler)(int timerId))
    {
        self<D>();
        m_timer = [this, handler](int timerId) { (static_cast<D*>(this)->*handler)(timerId); };
    }
    // Paints over the background, under the controls.
    template <class D> void onPaint(void (D::*handler)(QPainter& painter))
    {
        self<D>();
        m_paint = [this, handler](QPainter& painter) { (static_cast<D*>(this)->*handler)(painter); };
    }
    // Pre-translation: sees every key press and release, mouse button press, release and
    // double click, and wheel turn meant for any widget of the screen before the widget
    // does; a handler that returns true swallows the event.
    template <class D> void onKeyPreTranslate(bool (D::*handler)(QWidget* receiver, QKeyEvent* event))
    {
        self<D>();
        m_keyPreTranslate = [this, handler](QWidget* receiver, QKeyEvent* event) {
            return (static_cast<D*>(this)->*handler)(receiver, event);
        };
    }
    template <class D> void onMousePreTranslate(bool (D::*handler)(QWidget* receiver, QMouseEvent* event))
    {
        self<D>();
        m_mousePreTranslate = [this, handler](QWidget* receiver, QMouseEvent* event) {
            return (static_cast<D*>(this)->*handler)(receiver, event);
        };
    }
    template <class D> void onMouseWheel(bool (D::*handler)(QWidget* receiver, QWheelEvent* event))
    {
        self<D>();
        m_wheel = [this, handler](QWidget* receiver, QWheelEvent* event) {
            return (static_cast<D*>(this)->*handler)(receiver, event);
        };
    }

    // Return and Enter key presses move the focus on as Tab does, except in the controls
    // listed (there they keep their own meaning, such as pressing the button).
    void enableEnterAsTab(const QList<int>& exceptIds = {});
    // Escape presses and releases never reach the screen, so Escape never closes it.
    void enableEscapeSwallowing();

    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    using Handler = std::function<void()>;

    template <class D> void self()
    {
        static_assert(std::is_base_of_v<TemplateDialog, D>, "handlers belong to the screen");
    }
    template <class D> Handler bind(void (D::*handler)())
    {
        self<D>();
        return [this, handler]() { (static_cast<D*>(this)->*handler)(); };
    }
    template <class D> std::function<void(int)> bindWithId(void (D::*handler)(int))
    {
        self<D>();
        return [this, handler](int id) { (static_cast<D*>(this)->*handler)(id); };
    }
    void add(QHash<int, std::function<void(int)>>& table, int id, Handler handler);
    void add(QHash<int, std::function<void(int)>>& table, int id, std::function<void(int)> handler);

    void buildControls();
    // Controls are built in the base's constructor, before a screen's own overrides exist,
    // so components come from the registered factories rather than a virtual function.
    QWidget* createComponent(const res::ControlTemplate& control);
    QWidget* createControl(const res::ControlTemplate& control);
    void connectNotifications(int id, QWidget* widget);
    void clicked(int id);
    void dispatch(const QHash<int, std::function<void(int)>>& table, int id);
    // Runs one handler. An error it raises ends that handler only: the person sees the
    // error's description and the screen stays open with whatever the handler had done.
    // Returns false when the handler failed.
    bool runHandler(const std::function<void()>& handler);
    // The description of the error the handler raised; empty when it returned normally.
    static std::optional<QString> failureOf(const std::function<void()>& handler);
    void reportHandlerError(const QString& description);
    // A pre-translation handler; one that fails swallows the input it was looking at.
    bool runPreTranslate(const std::function<bool()>& handler);

    bool belongsToThisScreen(const QWidget* widget) const;
    bool isPropagatedCopy(QWidget* receiver, const QEvent* event);
    QWidget* owningControl(QWidget* widget) const;
    bool preTranslate(QWidget* receiver, QEvent* event);
    bool notifyFromViewport(QObject* watched, QEvent* event);

    const res::DialogTemplate* m_template;
    QHash<int, QWidget*> m_controls;
    QHash<const QWidget*, int> m_ids;
    SkinnedDialogColors m_colors;

    QHash<int, std::function<void(int)>> m_clicked;
    QHash<int, std::function<void(int)>> m_doubleClicked;
    QHash<int, std::function<void(int)>> m_dropDown;
    QHash<int, std::function<void(int)>> m_selectionChanged;
    QHash<int, std::function<void(const QPoint&)>> m_treeClicked;
    std::function<void(int)> m_timer;
    std::function<void(QPainter&)> m_paint;
    std::function<bool(QWidget*, QKeyEvent*)> m_keyPreTranslate;
    std::function<bool(QWidget*, QMouseEvent*)> m_mousePreTranslate;
    std::function<bool(QWidget*, QWheelEvent*)> m_wheel;

    bool m_enterAsTab = false;
    QList<int> m_enterAsTabExceptions;
    bool m_movingByEnter = false;
    bool m_swallowEscape = false;
    bool m_reportingError = false;
    // A paint handler that fails once fails again at every repaint, the one the message
    // box itself causes included; it is reported once until a paint succeeds.
    QString m_lastPaintError;

    QHash<int, int> m_qtTimerIds; // screen timer id -> Qt timer id

    // The last input pre-translated and the widgets it has reached so far.
    struct InputChain
    {
        QEvent::Type type = QEvent::None;
        quint64 timestamp = 0;
        int detail = 0;
        QPointF globalPosition;
        QPointer<QWidget> firstReceiver;
        QList<QWidget*> reached;
    };
    InputChain m_lastInput;
};

} // namespace glimora::ui
