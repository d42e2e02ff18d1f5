#include "ui/FileDialog.h"

#include "ui/OkMessageBox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include <optional>

namespace glimora::ui {

namespace {

struct Injected
{
    std::optional<QString> nextFileName;
    QString lastFilter;
    QString lastDirectory;
    FileDialog::Mode lastMode = FileDialog::Mode::ExistingFile;
};

Injected& injected()
{
    static Injected value;
    return value;
}

// The platform matched patterns without regard to case; list both cases.
QString bothCases(const QString& patterns)
{
    QStringList result;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        for (const QString& variant : { trimmed, trimmed.toUpper(), trimmed.toLower() }) {
            if (!result.contains(variant))
                result.append(variant);
        }
    }
    return result.join(QLatin1Char(' '));
}

// The patterns of a filter in the platform form, one list per description.
QList<QStringList> patternsOf(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<QStringList> result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts.at(i).isEmpty() && parts.at(i + 1).isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns.append(pattern.trimmed());
        result.append(patterns);
    }
    return result;
}

QString withExtensionOf(const QString& path, const QList<QStringList>& filters, int chosen)
{
    for (const QStringList& patterns : filters) {
        for (const QString& pattern : patterns) {
            if (pattern.startsWith(QLatin1String("*.")) && path.endsWith(pattern.mid(1), Qt::CaseInsensitive))
                return path;
        }
    }
    if (chosen < 0 || chosen >= filters.size() || filters.at(chosen).isEmpty()
        || !filters.at(chosen).constFirst().startsWith(QLatin1String("*.")))
        return path;
    return path + filters.at(chosen).constFirst().mid(1).toLower();
}

// A name typed with an extension of another kind gets the kind's own: the dialog asked about
// replacing the name typed, not the one to be written, so an existing file of that name is asked
// about here. "" when the visitor keeps it.
QString askedBeforeReplacing(QWidget* parent, const QString& selected, const QString& written)
{
    if (written == selected || !QFileInfo::exists(written))
        return written;
    const QString question
        = QString::fromUtf8("“%1”已存在，要替换它吗？").arg(QDir::toNativeSeparators(written));
    return OkMessageBox::askYesNo(parent, question) ? written : QString();
}

} // namespace

QString FileDialog::getOpenFileName(
    QWidget* parent, const QString& filter, const QString& directory, Mode mode)
{
    return choose(parent, filter, directory, mode, false);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& filter, const QString& directory)
{
    return choose(parent, filter, directory, Mode::AnyFile, true);
}

QString FileDialog::getSaveFileNameOfKind(QWidget* parent, const QString& filter, const QString& directory)
{
    return choose(parent, filter, directory, Mode::AnyFile, true, true);
}

QString FileDialog::choose(
    QWidget* parent, const QString& filter, const QString& directory, Mode mode, bool save, bool ofKind)
{
    Injected& state = injected();
    state.lastFilter = filter;
    state.lastDirectory = directory;
    state.lastMode = mode;
    if (state.nextFileName) {
        const QString answer = *state.nextFileName;
        state.nextFileName.reset();
        return ofKind && !answer.isEmpty()
            ? askedBeforeReplacing(parent, answer, withExtensionOf(answer, patternsOf(filter), 0))
            : answer;
    }
    QFileDialog dialog(parent, QString(), directory, toNameFilters(filter));
    // Qt's own dialog matches the patterns without regard to case (RECORDS.XLS and
    // Records.Xls alike) and speaks the station's language, which a desktop's dialog may not.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode == Mode::ExistingFile ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QList<QStringList> kinds = patternsOf(filter);
    const QStringList nameFilters = toNameFilters(filter).split(QStringLiteral(";;"));
    if (ofKind) {
        // The dialog itself adds the extension, so that replacing a file is asked about
        // under the name that will be written.
        const auto takeSuffix = [&dialog, &kinds, &nameFilters](const QString& nameFilter) {
            const qsizetype chosen = nameFilters.indexOf(nameFilter);
            if (chosen >= 0 && chosen < kinds.size() && !kinds.at(chosen).isEmpty())
                dialog.setDefaultSuffix(kinds.at(chosen).constFirst().mid(2).toLower());
        };
        takeSuffix(nameFilters.value(0));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, takeSuffix);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    if (!ofKind)
        return dialog.selectedFiles().constFirst();
    const QString selected = dialog.selectedFiles().constFirst();
    return askedBeforeReplacing(parent, selected,
        withExtensionOf(selected, kinds, int(nameFilters.indexOf(dialog.selectedNameFilter()))));
}

void FileDialog::setNextFileName(const QString& fileName)
{
    injected().nextFileName = fileName;
}

QString FileDialog::lastFilter()
{
    return injected().lastFilter;
}

QString FileDialog::lastDirectory()
{
    return injected().lastDirectory;
}

FileDialog::Mode FileDialog::lastMode()
{
    return injected().lastMode;
}

QString FileDialog::toNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        const QString& patterns = parts.at(i + 1);
        if (description.isEmpty() && patterns.isEmpty())
            break;
        QString label = description;
        // "jpg File(*.jpg)" already names its pattern; do not repeat it.
        if (label.endsWith(QLatin1Char(')')) && label.contains(QLatin1Char('(')))
            label.truncate(label.lastIndexOf(QLatin1Char('(')));
        filters.append(QStringLiteral("%1(%2)").arg(label, bothCases(patterns)));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace glimora::ui
