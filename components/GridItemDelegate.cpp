#include "components/GridItemDelegate.h"

#include <limits>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextDocument>

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
    const bool multiLine = qobject_cast<QPlainTextEdit*>(editor) != nullptr;
    model->setData(
        index, multiLine ? withLineBreaksOf(index.data(Qt::EditRole).toString(), text) : text, Qt::EditRole);
    // What is stored now is what the editor shows: a second commit writes nothing.
    editor->setProperty(shownProperty, text);
}

void GridItemDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    if (m_editor == editor)
        m_editor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

namespace {

// The line breaks of `text` in order, as a multi-line editor takes each for the end of a
// paragraph: CR LF, CR, LF, or the paragraph separator itself.
QStringList lineBreaksOf(const QString& text)
{
    QStringList breaks;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            breaks.append(QStringLiteral("\r\n"));
            ++i;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator) {
            breaks.append(QString(c));
        }
    }
    return breaks;
}

} // namespace

// The editor ends its paragraphs with its own separator: each gets the break the text had
// there, so that lines not edited are stored as they were. Where lines were added or taken
// away, the breaks of the unchanged lines before and after keep theirs, and those between
// take the text's first kind.
QString GridItemDelegate::withLineBreaksOf(const QString& original, const QString& edited)
{
    const QStringList paragraphs = edited.split(QChar::ParagraphSeparator);
    const QStringList breaks = lineBreaksOf(original);
    const QString usual = breaks.isEmpty() ? QStringLiteral("\n") : breaks.first();
    const qsizetype needed = paragraphs.size() - 1;
    qsizetype sameBefore = needed;
    qsizetype sameAfter = 0;
    if (needed != breaks.size()) {
        static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|[\\r\\n\\x{2029}]"));
        const QStringList lines = original.split(lineBreak);
        const qsizetype common = qMin(lines.size(), paragraphs.size());
        sameBefore = 0;
        while (sameBefore < common && lines[sameBefore] == paragraphs[sameBefore])
            ++sameBefore;
        while (sameAfter < common - sameBefore
            && lines[lines.size() - 1 - sameAfter] == paragraphs[paragraphs.size() - 1 - sameAfter])
            ++sameAfter;
    }
    QString result = paragraphs.first();
    for (qsizetype i = 0; i < needed; ++i) {
        // Break i follows paragraph i and comes before paragraph i + 1.
        QString lineBreak = usual;
        if (i < sameBefore)
            lineBreak = breaks.value(i, usual);
        else if (i + 1 >= paragraphs.size() - sameAfter)
            lineBreak = breaks.value(i + breaks.size() - needed, usual);
        result += lineBreak + paragraphs[i + 1];
    }
    return result;
}

QString GridItemDelegate::editorText(const QWidget* editor)
{
    // Raw: the plain text would turn non-breaking spaces into blanks and line separators
    // into line feeds, changing characters nobody touched.
    if (const auto* multiLine = qobject_cast<const QPlainTextEdit*>(editor))
        return multiLine->document()->toRawText();
    if (const auto* line = qobject_cast<const QLineEdit*>(editor))
        return line->text();
    return {};
}

} // namespace glimora::components
