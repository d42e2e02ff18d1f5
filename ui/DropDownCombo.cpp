#include "ui/DropDownCombo.h"

#include <QCollator>
#include <QLineEdit>

namespace glimora::ui {

DropDownCombo::DropDownCombo(bool sorted, QWidget* parent)
    : QComboBox(parent)
    , m_sorted(sorted)
{
    setEditable(true);
    // Typing chooses or filters; it never adds entries of its own.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
}

int DropDownCombo::compare(const QString& a, const QString& b)
{
    static const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    return collator.compare(a, b);
}

int DropDownCombo::addString(const QString& text)
{
    int index = count();
    if (m_sorted) {
        // After the last entry that does not come after it, so equal entries keep their order.
        int low = 0;
        int high = count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (compare(itemText(middle), text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    const QString edited = currentText();
    insertItem(index, text);
    // Adding an entry never changes what the box shows.
    if (lineEdit())
        lineEdit()->setText(edited);
    return index;
}

void DropDownCombo::insertString(int index, const QString& text)
{
    const QString edited = currentText();
    insertItem(index, text);
    if (lineEdit())
        lineEdit()->setText(edited);
}

void DropDownCombo::showPopup()
{
    emit dropDownOpening();
    QComboBox::showPopup();
}

} // namespace glimora::ui
