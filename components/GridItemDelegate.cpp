#include "components/GridItemDelegate.h"

#include <limits>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace glimora::components {

namespace {

// The text the editor showed when it opened, as the editor holds it (a multi-line editor
// keeps its own line breaks): the same text when it closes means nothing was changed.
const char* const shownProperty = "glimoraShownText";

} // namespace

GridItemDelegate::GridItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QWidget* GridItemDelegate::createEditor(
    QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    QWidget* editor = nullptr;
    if (text.size() > OneLineLimit || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        auto* multiLine = new QPlainTextEdit(parent);
        multiLine->setTabChangesFocus(true);
        multiLine->setFrameShape(QFrame::NoFrame);
        editor = multiLine;
    } else {
        auto* line = new QLineEdit(parent);
        line->setFrame(false);
        // The default limit of 32,767 would cut what is typed or pasted.
        line->setMaxLength(std::numeric_limits<int>::max());
        editor = line;
    }
    Q_UNUSED(option);
    m_editor = editor;
    m_editorIndex = index;
    return editor;
}

void GridItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* multiLine = qobject_cast<QPlainTextEdit*>(editor))
        multiLine->setPlainText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(text);
    else
        QStyledItemDelegate::setEditorData(editor, index);
    editor->setProperty(shownProperty, editorText(editor));
}

void GridItemDelegate::setModelData(
    QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const QString text = editorText(editor);
    if (text == editor->property(shownProperty).toString())
        return;
    model->setData(index, withLineBreaksOf(index.data(Qt::EditRole).toString(), text), Qt::EditRole);
    // What is stored now is what the editor shows: a second commit writes nothing.
    editor->setProperty(shownProperty, text);
}

void GridItemDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (m_editor == editor)
        m_editor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

// A multi-line editor breaks lines with LF only: text that came with CR LF gets its CR LF
// back, so that the lines not edited are stored as they were.
QString GridItemDelegate::withLineBreaksOf(const QString& original, const QString& edited)
{
    if (!original.contains(QLatin1String("\r\n")) || edited.contains(QLatin1Char('\r')))
        return edited;
    QString result = edited;
    result.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return result;
}

QString GridItemDelegate::editorText(const QWidget* editor)
{
    if (const auto* multiLine = qobject_cast<const QPlainTextEdit*>(editor))
        return multiLine->toPlainText();
    if (const auto* line = qobject_cast<const QLineEdit*>(editor))
        return line->text();
    return {};
}

} // namespace glimora::components
