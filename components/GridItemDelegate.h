#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

namespace glimora::components {

// The grid's cell editors: one line for short text, a multi-line editor for long text or
// text with line breaks (neither cuts the text), and an edit that changed nothing writes
// nothing. It knows the editor that is open, so the grid can commit it before it goes.
class GridItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Text up to this many characters is edited on one line.
    static constexpr int OneLineLimit = 1000;

    explicit GridItemDelegate(QObject* parent = nullptr);

    QWidget* openEditor() const { return m_editor; }
    // The cell of the open editor; it follows its record when rows above it come or go.
    QModelIndex openEditorIndex() const { return m_editorIndex; }

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

private:
    static QString editorText(const QWidget* editor);
    static QString withLineBreaksOf(const QString& original, const QString& edited);

    mutable QPointer<QWidget> m_editor;
    mutable QPersistentModelIndex m_editorIndex;
};

} // namespace glimora::components
