#pragma once

#include <QString>

class QWidget;

namespace glimora::ui {

// The common open-file dialog. Filters are given in the platform form the screens quote,
// "description|pattern|description|pattern||", and matched without regard to case.
// Tests inject the next file name instead of showing the dialog.
class FileDialog
{
public:
    // Whether the chosen file must exist here. A file that the SQL Server opens need not:
    // the person may type a path on the server's machine.
    enum class Mode { ExistingFile, AnyFile };

    // The chosen file, or an empty text when the dialog was cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& filter, const QString& directory = {},
        Mode mode = Mode::ExistingFile);
    // A file to be written: any name typed, an existing file only after the person agrees
    // to replace it. Injected names and the last request are shared with the open dialog.
    static QString getSaveFileName(QWidget* parent, const QString& filter, const QString& directory = {});
    // The same, where the kind of file follows the filter: a name that matches none of the
    // patterns takes the chosen filter's extension, in lower case ("*.XLSX" gives ".xlsx").
    static QString getSaveFileNameOfKind(
        QWidget* parent, const QString& filter, const QString& directory = {});

    // The next call returns `fileName` at once (an empty name answers as a cancel).
    static void setNextFileName(const QString& fileName);

    // What the last call asked for, answered or not.
    static QString lastFilter();
    static QString lastDirectory();
    static Mode lastMode();

    // "(*.XLS)|*.XLS||" -> "(*.XLS *.xls)"; several filters are joined with ";;".
    static QString toNameFilters(const QString& filter);

private:
    static QString choose(QWidget* parent, const QString& filter, const QString& directory, Mode mode,
        bool save, bool ofKind = false);
};

} // namespace glimora::ui
