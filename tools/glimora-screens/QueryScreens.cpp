#include "tools/glimora-screens/QueryScreens.h"

#include "components/CWebBrowser2.h"
#include "components/TextPageView.h"
#include "data/SharedDatabase.h"
#include "engine/server/EmbeddedServerSetup.h"
#include "platform/FakeIdleClock.h"
#include "query/QueryDialog.h"
#include "settings/Settings.h"
#include "ui/ContrastSetting.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/OnScreenKeyboard.h"
#include "ui/TemplateDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>
#include <QThread>

#include <functional>

namespace glimora::tools {

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The screen with any open drop-down list painted over it, as a person would see it.
QPixmap picture(query::QueryDialog& dialog)
{
    settle();
    QPixmap pixmap = dialog.grab();
    QPainter painter(&pixmap);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != &dialog && window->isVisible() && window->windowType() == Qt::Popup)
            painter.drawPixmap(window->mapToGlobal(QPoint()) - dialog.mapToGlobal(QPoint()), window->grab());
    }
    return pixmap;
}

// A press and release of the left button, as a visitor's touch.
void tap(QWidget* widget, const QPointF& at)
{
    for (const QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    settle();
}

void click(query::QueryDialog& dialog, int id)
{
    QWidget* control = dialog.control(id);
    tap(control, QPointF(control->width() / 2.0, control->height() / 2.0));
}

// Taps the keys of the on-screen keyboard, each caption a key.
void tapKeys(ui::OnScreenKeyboard& keyboard, const QStringList& captions)
{
    for (const QString& caption : captions) {
        const QPoint middle = keyboard.keyRect(caption).center();
        if (QWidget* key = keyboard.childAt(middle))
            tap(key, key->mapFrom(&keyboard, middle));
    }
}

// With the osk setting on: the keyboard in each layout, over the filter lists.
void renderKeyboard(query::QueryDialog& dialog, const std::function<void(const char*)>& save)
{
    ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(&dialog);
    if (!keyboard)
        return;
    QLineEdit* kinds = dialog.control<ui::DropDownCombo>(1000)->lineEdit();
    tap(kinds, QPointF(5, 5));
    tapKeys(*keyboard, { "x", "i", "y" });
    save("6a-keyboard-pinyin");
    tapKeys(*keyboard, { "ABC" });
    save("6b-keyboard-latin");
    QLineEdit* from = dialog.control<ui::DropDownCombo>(1074)->lineEdit();
    tap(from, QPointF(5, 5));
    tapKeys(*keyboard, { "123", "1", "0", ".", "5" });
    save("6c-keyboard-digits");
    tapKeys(*keyboard, { QString::fromUtf8("清空"), QString::fromUtf8("拼音"), QString::fromUtf8("隐藏") });
}

// With [show] multiselect: the first two values of the first list ticked, the list open over
// them; taken back afterwards.
void renderTicked(query::QueryDialog& dialog, const std::function<void(const char*)>& save, const char* state)
{
    auto* list = dialog.control<ui::DropDownCombo>(1000);
    list->showPopup();
    settle();
    for (int index = 1; index <= 2 && index < list->count(); ++index)
        emit list->activated(index);
    save(state);
    list->hidePopup();
    click(dialog, 1171);
}

// The first level, a level further down, its last, the filter lists and a list with ticked
// values in ordinary and large text, on the ordinary and the high-contrast skins; the
// workspace's contrast setting is put back afterwards.
void renderTextModes(query::QueryDialog& dialog, const std::function<void(const char*)>& save)
{
    const bool contrast = ui::ContrastSetting::enabled();
    const bool large = dialog.largeText();
    const struct
    {
        bool contrast;
        bool large;
        const char* name;
    } modes[] = { { false, false, "plain" }, { false, true, "large" }, { true, false, "contrast" },
        { true, true, "contrast-large" } };
    int number = 10;
    for (const auto& mode : modes) {
        const auto state = [&](const char* letter, const char* what) {
            return QStringLiteral("%1%2-%3%4")
                .arg(number)
                .arg(QLatin1String(letter))
                .arg(QLatin1String(mode.name), QLatin1String(what))
                .toLatin1();
        };
        ui::ContrastSetting::setEnabled(mode.contrast);
        dialog.setLargeText(mode.large);
        click(dialog, 1143);
        click(dialog, 1145);
        click(dialog, 1057);
        save(state("a", ""));
        click(dialog, 1003);
        save(state("c", "-level-two"));
        click(dialog, 1003);
        save(state("d", "-level-three"));
        click(dialog, 1057);
        click(dialog, 1144);
        save(state("b", "-filters"));
        renderTicked(dialog, save, state("e", "-ticked"));
        ++number;
    }
    ui::ContrastSetting::setEnabled(contrast);
    dialog.setLargeText(large);
    click(dialog, 1143);
}

} // namespace

int renderQueryScreens(const QDir& folder, const QString& password)
{
    // The browser engine draws nothing into a picture taken on the offscreen platform, so the
    // home page is shown in the text view here; the station shows it with the engine.
    ui::TemplateDialog::setComponentFactory(
        res::ControlKind::WebBrowser, [](const res::ControlTemplate&, QWidget* parent) {
            return static_cast<QWidget*>(new components::CWebBrowser2(new components::TextPageView, parent));
        });
    QTextStream err(stderr);
    settings::Settings::instance().load();
    engine::registerEmbeddedServer();
    data::SharedDatabase::createObjects();
    data::LoginValues& login = data::SharedDatabase::login();
    login.serverName = QStringLiteral("(LOCAL)");
    login.userName = QStringLiteral("sa");
    login.password = password;
    login.databaseName = settings::Settings::instance().database;
    ui::OkMessageBox::setAutoAnswer(QMessageBox::Ok);

    platform::FakeIdleClock clock;
    platform::IdleClock::setCurrent(&clock);
    int failures = 0;
    const std::pair<int, int> sizes[] = { { 1024, 768 }, { 1280, 1024 }, { 1920, 1080 } };
    for (const auto& [width, height] : sizes) {
        query::QueryDialog dialog;
        if (!dialog.isReady()) {
            err << "the query screen did not open: " << ui::OkMessageBox::shownTexts().join(' ') << "\n";
            platform::IdleClock::setCurrent(nullptr);
            return -1;
        }
        dialog.setWindowState(Qt::WindowNoState);
        dialog.resize(width, height);
        dialog.show();
        settle();
        const auto save = [&](const char* state) {
            const QString name
                = QStringLiteral("query-%1x%2-%3.png").arg(width).arg(height).arg(QLatin1String(state));
            if (!picture(dialog).save(folder.filePath(name), "PNG")) {
                err << "cannot write " << name << "\n";
                ++failures;
            }
        };
        save("1-first-level");
        for (int i = 0; i < 2; ++i)
            click(dialog, 1003);
        save("2-two-levels");
        click(dialog, 1003);
        save("3-three-levels");
        click(dialog, 1146);
        save("4-picture");
        click(dialog, 1138);
        click(dialog, 1138);
        save("5-picture-next");
        click(dialog, 1145);
        click(dialog, 1144);
        save("6-filters");
        renderKeyboard(dialog, save);
        auto* list = dialog.control<ui::DropDownCombo>(1000);
        list->showPopup();
        save("7-filter-list-open");
        list->hidePopup();
        // The makers' list holds the longest values.
        auto* makers = dialog.control<ui::DropDownCombo>(1062);
        makers->showPopup();
        save("7b-maker-list-open");
        makers->hidePopup();
        renderTicked(dialog, save, "7d-several-ticked");
        // With counts on, the makers' entries count under the kind chosen.
        list->setEditText(QString::fromUtf8("西药"));
        makers->showPopup();
        save("7c-maker-list-under-kind");
        makers->hidePopup();
        list->setEditText(QString::fromUtf8("没有这一类"));
        click(dialog, 1125);
        save("8-empty-result");
        click(dialog, 1171);
        click(dialog, 1125);
        click(dialog, 1146);
        clock.advance(10 * 60 * 1000);
        dialog.IdleCheck();
        for (int i = 0; i < 20; ++i) {
            QThread::msleep(10);
            settle();
        }
        save("9-home-page");
        clock.touch();
        if (dialog.largeTextButton() && width != 1920)
            renderTextModes(dialog, save);
        dialog.hide();
    }
    platform::IdleClock::setCurrent(nullptr);
    return failures;
}

} // namespace glimora::tools
