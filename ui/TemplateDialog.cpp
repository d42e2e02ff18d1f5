#include "ui/TemplateDialog.h"

#include "res/SkinTable.h"
#include "ui/BitmapStatic.h"
#include "ui/ComponentPlaceholder.h"
#include "ui/DropDownCombo.h"
#include "ui/KeyboardSetting.h"
#include "ui/OkMessageBox.h"
#include "ui/OnScreenKeyboard.h"
#include "ui/ReadingOrderFocus.h"
#include "ui/SkinButton.h"
#include "ui/SkinStore.h"
#include "ui/TabControl.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTreeWidget>

#include <stdexcept>

namespace glimora::ui {

using res::ControlKind;
using res::ControlTemplate;

namespace {

QMap<ControlKind, TemplateDialog::ComponentFactory>& componentFactories()
{
    static QMap<ControlKind, TemplateDialog::ComponentFactory> factories;
    return factories;
}

const res::DialogTemplate& templateById(int id)
{
    const res::DialogTemplate* found = res::findDialogTemplate(id);
    if (!found)
        throw std::invalid_argument("no dialog template " + std::to_string(id));
    return *found;
}

// The template fonts are "宋体" and "System"; both become the installed Chinese sans face.
QFont templateFont(const res::TemplateFont& font)
{
    QFont result;
    result.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("AR PL UKai CN") });
    result.setPixelSize(font.pixelHeight);
    return result;
}

QLabel* makeText(const QString& text, Qt::Alignment alignment, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

bool isReturn(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

void TemplateDialog::setComponentFactory(ControlKind kind, ComponentFactory factory)
{
    componentFactories().insert(kind, factory);
}

TemplateDialog::TemplateDialog(int templateId, QWidget* parent)
    : QDialog(parent)
    , m_template(&templateById(templateId))
{
    setObjectName(QString::fromLatin1(m_template->className));
    switch (m_template->style) {
    case res::WindowStyle::CaptionModalFrame:
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint);
        break;
    case res::WindowStyle::ThinBorderNoCaption:
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        break;
    case res::WindowStyle::NoCaptionNoBorder:
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        break;
    }
    setWindowTitle(m_template->captionText());
    setWindowIcon(QIcon(SkinStore::load(res::ApplicationIconId)));
    setFont(templateFont(m_template->font));
    resize(m_template->pixelSize());
    if (m_template->style != res::WindowStyle::ThinBorderNoCaption)
        setFixedSize(m_template->pixelSize());
    buildControls();
    qApp->installEventFilter(this);
    OnScreenKeyboard::attachTo(this, OnScreenKeyboardSetting::Everywhere);
}

TemplateDialog::~TemplateDialog()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

SkinButton* TemplateDialog::skinButton(int id) const
{
    return control<SkinButton>(id);
}

QList<int> TemplateDialog::idRange(int first, int last)
{
    QList<int> ids;
    for (int id = first; id <= last; ++id)
        ids.append(id);
    return ids;
}

int TemplateDialog::controlId(const QWidget* control) const
{
    return m_ids.value(control, res::StaticId);
}

// ---- building ----

void TemplateDialog::buildControls()
{
    for (const ControlTemplate& entry : m_template->controls) {
        QWidget* widget = createControl(entry);
        if (!widget)
            continue;
        widget->setObjectName(QStringLiteral("control%1").arg(entry.id));
        if (entry.id != res::StaticId) {
            m_controls.insert(entry.id, widget);
            m_ids.insert(widget, entry.id);
            connectNotifications(entry.id, widget);
        }
        if (!entry.shown)
            widget->hide();
    }
}

QWidget* TemplateDialog::createComponent(const ControlTemplate& control)
{
    const auto factory = componentFactories().constFind(control.kind);
    if (factory != componentFactories().constEnd() && *factory) {
        if (QWidget* widget = (*factory)(control, this))
            return widget;
    }
    return new ComponentPlaceholder(control.kind, this);
}

QWidget* TemplateDialog::createControl(const ControlTemplate& entry)
{
    const QString text = QString::fromUtf8(entry.text);
    const QRect rect = m_template->pixelRect(entry);
    QWidget* widget = nullptr;

    switch (entry.kind) {
    case ControlKind::IconStatic: {
        // An icon static takes the icon's size, whatever its rectangle says.
        auto* icon = new QLabel(this);
        icon->setPixmap(SkinStore::load(res::ApplicationIconId)
                            .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        icon->setGeometry(QRect(rect.topLeft(), QSize(32, 32)));
        return icon;
    }
    case ControlKind::OwnerDrawnButton:
        widget = new SkinButton(text, this);
        break;
    case ControlKind::PushButton:
        widget = new QPushButton(text, this);
        break;
    case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(text, this);
        button->setDefault(true);
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(text, this);
        break;
    case ControlKind::DropDownCombo: {
        // The template height includes the dropped-down list; the box itself is one line.
        auto* combo = new DropDownCombo(entry.sorted, this);
        const int boxHeight = combo->sizeHint().height();
        const int itemHeight = qMax(1, combo->fontMetrics().height() + 2);
        combo->setMaxVisibleItems(qMax(1, (rect.height() - boxHeight) / itemHeight));
        combo->setGeometry(rect.x(), rect.y(), rect.width(), boxHeight);
        return combo;
    }
    case ControlKind::Edit:
        widget = new QLineEdit(text, this);
        break;
    case ControlKind::PasswordEdit: {
        auto* edit = new QLineEdit(text, this);
        edit->setEchoMode(QLineEdit::Password);
        widget = edit;
        break;
    }
    case ControlKind::MultiLineEdit: {
        auto* edit = new QPlainTextEdit(text, this);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setTabChangesFocus(true);
        widget = edit;
        break;
    }
    case ControlKind::Text:
        widget = makeText(text, Qt::AlignLeft, this);
        break;
    case ControlKind::CentredText:
        widget = makeText(text, Qt::AlignHCenter, this);
        break;
    case ControlKind::RightAlignedText:
        widget = makeText(text, Qt::AlignRight, this);
        break;
    case ControlKind::BitmapStatic: {
        // A picture static takes the size of its bitmap when it is created.
        auto* picture = new BitmapStatic(entry.bitmapId, entry.notifies, this);
        picture->resize(rect.size());
        picture->setGeometry(QRect(rect.topLeft(), picture->bitmapSize()));
        return picture;
    }
    case ControlKind::BlackFrame: {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::Box);
        frame->setFrameShadow(QFrame::Plain);
        QPalette palette = frame->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        frame->setPalette(palette);
        widget = frame;
        break;
    }
    case ControlKind::TreeView: {
        auto* tree = new QTreeWidget(this);
        tree->setHeaderHidden(true);
        tree->setColumnCount(1);
        widget = tree;
        break;
    }
    case ControlKind::TabControl:
        widget = new TabControl(this);
        break;
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(this);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case ControlKind::DataControl:
    case ControlKind::DataGrid:
    case ControlKind::WebBrowser:
        widget = createComponent(entry);
        if (widget->parentWidget() != this)
            widget->setParent(this);
        break;
    }
    widget->setGeometry(rect);
    return widget;
}

void TemplateDialog::connectNotifications(int id, QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id]() { clicked(id); });
    } else if (auto* picture = qobject_cast<BitmapStatic*>(widget)) {
        connect(picture, &BitmapStatic::clicked, this, [this, id]() { dispatch(m_clicked, id); });
        connect(picture, &BitmapStatic::doubleClicked, this, [this, id]() { dispatch(m_doubleClicked, id); });
    } else if (auto* combo = qobject_cast<DropDownCombo*>(widget)) {
        connect(combo, &DropDownCombo::dropDownOpening, this, [this, id]() { dispatch(m_dropDown, id); });
        connect(combo, &QComboBox::activated, this, [this, id]() { dispatch(m_selectionChanged, id); });
    } else if (auto* tabs = qobject_cast<TabControl*>(widget)) {
        connect(tabs, &TabControl::selectionChangedByUser, this,
            [this, id]() { dispatch(m_selectionChanged, id); });
    } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        connect(
            tree, &QTreeWidget::currentItemChanged, this, [this, id]() { dispatch(m_selectionChanged, id); });
    }
}

// ---- notifications ----

void TemplateDialog::add(QHash<int, std::function<void(int)>>& table, int id, Handler handler)
{
    table.insert(id, [handler = std::move(handler)](int) { handler(); });
}

void TemplateDialog::add(
    QHash<int, std::function<void(int)>>& table, int id, std::function<void(int)> handler)
{
    table.insert(id, handler);
}

void TemplateDialog::dispatch(const QHash<int, std::function<void(int)>>& table, int id)
{
    const auto handler = table.constFind(id);
    if (handler != table.constEnd())
        runHandler([&handler, id]() { (*handler)(id); });
}

bool TemplateDialog::runHandler(const std::function<void()>& handler)
{
    const std::optional<QString> failure = failureOf(handler);
    if (failure)
        reportHandlerError(*failure);
    return !failure;
}

std::optional<QString> TemplateDialog::failureOf(const std::function<void()>& handler)
{
    try {
        handler();
        return std::nullopt;
    } catch (const std::exception& error) {
        // A database error's what() is its description; the screens that expect one add hints.
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

bool TemplateDialog::runPreTranslate(const std::function<bool()>& handler)
{
    bool swallowed = false;
    if (!runHandler([&]() { swallowed = handler(); }))
        return true;
    return swallowed;
}

void TemplateDialog::reportHandlerError(const QString& description)
{
    // A timer or a paint that fails while the box is open would stack boxes; one at a time.
    if (m_reportingError)
        return;
    m_reportingError = true;
    const QPointer<TemplateDialog> alive(this);
    OkMessageBox::show(this, description);
    if (alive)
        m_reportingError = false;
}

void TemplateDialog::clicked(int id)
{
    if (m_clicked.contains(id)) {
        dispatch(m_clicked, id);
        return;
    }
    // The platform's own answer to the OK and Cancel commands.
    if (id == IDOK)
        endDialog(IDOK);
    else if (id == IDCANCEL)
        endDialog(IDCANCEL);
}

// ---- modal run ----

int TemplateDialog::runModal()
{
    return exec();
}

void TemplateDialog::endDialog(int result)
{
    done(result);
}

void TemplateDialog::done(int result)
{
    // The close box and Escape end the run as Cancel does.
    QDialog::done(result == QDialog::Rejected ? IDCANCEL : result);
}

void TemplateDialog::reject()
{
    done(IDCANCEL);
}

// ---- timers ----

void TemplateDialog::setTimer(int timerId, int milliseconds)
{
    stopTimer(timerId);
    m_qtTimerIds.insert(timerId, startTimer(milliseconds));
}

void TemplateDialog::stopTimer(int timerId)
{
    const auto running = m_qtTimerIds.constFind(timerId);
    if (running == m_qtTimerIds.constEnd())
        return;
    killTimer(*running);
    m_qtTimerIds.remove(timerId);
}

bool TemplateDialog::isTimerActive(int timerId) const
{
    return m_qtTimerIds.contains(timerId);
}

void TemplateDialog::timerEvent(QTimerEvent* event)
{
    const int timerId = m_qtTimerIds.key(event->timerId(), -1);
    if (timerId == -1) {
        QDialog::timerEvent(event);
        return;
    }
    if (m_timer)
        runHandler([this, timerId]() { m_timer(timerId); });
}

// ---- colours and paint ----

void TemplateDialog::setColors(const SkinnedDialogColors& colors)
{
    m_colors = colors;
    m_colors.applyTo(this);
    update();
}

void TemplateDialog::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    m_colors.paintBackground(painter, this);
    if (m_paint) {
        const std::optional<QString> failure = failureOf([this, &painter]() { m_paint(painter); });
        if (!failure) {
            m_lastPaintError.clear();
        } else if (*failure != m_lastPaintError) {
            m_lastPaintError = *failure;
            // Never open a modal loop in the middle of a paint.
            QTimer::singleShot(0, this, [this, text = *failure]() { reportHandlerError(text); });
        }
    } else
        QDialog::paintEvent(event);
}

// ---- pre-translation ----

bool TemplateDialog::focusNextPrevChild(bool next)
{
    // Enter walks a form in its own order, field after field, as it did before Tab was ordered.
    if (m_movingByEnter || !KeyboardSetting::enabled())
        return QDialog::focusNextPrevChild(next);
    // Qt moves focus on this way too when the control holding it is hidden or disabled (a
    // page changed under a tap): no key was pressed then, so the control reached shows no ring.
    const QWidget* current = focusWidget();
    const bool byKey = current && current->isVisible() && current->isEnabled();
    QWidget* target = ReadingOrderFocus::next(*this, next);
    if (!target)
        return QDialog::focusNextPrevChild(next);
    target->setFocus(!byKey ? Qt::OtherFocusReason : next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void TemplateDialog::enableEnterAsTab(const QList<int>& exceptIds)
{
    m_enterAsTab = true;
    m_enterAsTabExceptions = exceptIds;
}

void TemplateDialog::enableEscapeSwallowing()
{
    m_swallowEscape = true;
}

bool TemplateDialog::belongsToThisScreen(const QWidget* widget) const
{
    // Up through the screen's own widgets and its pop-ups (a combo box's list), but not
    // into other windows such as a message box opened over it.
    for (const QWidget* current = widget; current; current = current->parentWidget()) {
        if (current == this)
            return true;
        if (current->isWindow() && !(current->windowType() == Qt::Popup))
            return false;
    }
    return false;
}

QWidget* TemplateDialog::owningControl(QWidget* widget) const
{
    for (QWidget* current = widget; current; current = current->parentWidget()) {
        if (current->parentWidget() == this)
            return current;
    }
    return widget;
}

bool TemplateDialog::isPropagatedCopy(QWidget* receiver, const QEvent* event)
{
    // An event a widget ignores travels on to its parents (the same key event, or a copy of
    // a mouse event with the same time stamp and position), and a scroll area hands a wheel
    // turn on to its scroll bar. Pre-translate each input only once: a delivery belongs to
    // the last input when it looks the same and goes to a widget not yet reached, up from
    // the first receiver or inside the same control.
    InputChain input;
    input.type = event->type();
    if (const auto* key = dynamic_cast<const QKeyEvent*>(event)) {
        input.timestamp = key->timestamp();
        input.detail = key->key();
    } else if (const auto* pointer = dynamic_cast<const QSinglePointEvent*>(event)) {
        input.timestamp = pointer->timestamp();
        input.detail = static_cast<int>(pointer->button());
        input.globalPosition = pointer->globalPosition();
    }
    const bool sameInput = m_lastInput.firstReceiver && m_lastInput.type == input.type
        && m_lastInput.timestamp == input.timestamp && m_lastInput.detail == input.detail
        && m_lastInput.globalPosition == input.globalPosition;
    if (sameInput && !m_lastInput.reached.contains(receiver)
        && (receiver->isAncestorOf(m_lastInput.firstReceiver)
            || owningControl(receiver) == owningControl(m_lastInput.firstReceiver))) {
        m_lastInput.reached.append(receiver);
        return true;
    }
    input.firstReceiver = receiver;
    input.reached = { receiver };
    m_lastInput = input;
    return false;
}

bool TemplateDialog::preTranslate(QWidget* receiver, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (m_keyPreTranslate && runPreTranslate([&]() { return m_keyPreTranslate(receiver, key); }))
            return true;
        if (receiver->window() != this)
            return false;
        if (m_swallowEscape && key->key() == Qt::Key_Escape)
            return true;
        // A tab that keys reach is pressed by Enter, as a button of its own.
        const auto* picture = qobject_cast<const BitmapStatic*>(receiver);
        if (m_enterAsTab && event->type() == QEvent::KeyPress && isReturn(key)
            && !(picture && picture->focusPolicy() != Qt::NoFocus)) {
            for (const QWidget* current = receiver; current && current != this;
                 current = current->parentWidget()) {
                if (m_enterAsTabExceptions.contains(controlId(current)))
                    return false;
            }
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, key->modifiers() & Qt::ShiftModifier);
            const QScopedValueRollback byEnter(m_movingByEnter, true);
            QCoreApplication::sendEvent(receiver, &tab);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return m_mousePreTranslate && runPreTranslate([&]() {
            return m_mousePreTranslate(receiver, static_cast<QMouseEvent*>(event));
        });
    case QEvent::Wheel:
        return m_wheel
            && runPreTranslate([&]() { return m_wheel(receiver, static_cast<QWheelEvent*>(event)); });
    default:
        return false;
    }
}

bool TemplateDialog::notifyFromViewport(QObject* watched, QEvent* event)
{
    // Item views take their mouse input in a viewport, other controls directly; a
    // component may wrap its view in a widget of its own.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    QWidget* owner = owningControl(widget);
    const int id = controlId(owner);
    auto* area = qobject_cast<QAbstractScrollArea*>(widget->parentWidget());
    const bool isViewport = area && area->viewport() == widget;
    if (id == res::StaticId || (widget != owner && !isViewport))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;

    if (event->type() == QEvent::MouseButtonDblClick && !qobject_cast<BitmapStatic*>(owner))
        dispatch(m_doubleClicked, id);
    if (event->type() == QEvent::MouseButtonRelease && isViewport && area == owner
        && m_treeClicked.contains(id))
        runHandler([this, id, point = mouse->position().toPoint()]() { m_treeClicked.value(id)(point); });
    return false;
}

bool TemplateDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        break;
    default:
        return QDialog::eventFilter(watched, event);
    }
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (!receiver || !belongsToThisScreen(receiver))
        return false;
    if (isPropagatedCopy(receiver, event))
        return false;
    if (preTranslate(receiver, event))
        return true;
    if (event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseButtonRelease)
        notifyFromViewport(watched, event);
    return false;
}

} // namespace glimora::ui
