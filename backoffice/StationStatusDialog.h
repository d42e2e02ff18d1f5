#pragma once

#include "ui/TemplateDialog.h"

namespace glimora::backoffice {

// The status page of the back office: every station that writes a heartbeat, online or
// offline since when, with its last errors and backup. Refreshed on opening and by its button.
class StationStatusDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    explicit StationStatusDialog(QWidget* parent = nullptr);

    enum Column {
        NameColumn,
        PresenceColumn,
        VersionColumn,
        StartedColumn,
        BeatColumn,
        QuestionColumn,
        ErrorsColumn,
        LastErrorColumn,
        BackupColumn,
        ColumnCount
    };

private:
    void OnInitDialog();
    void OnRefresh();
    void OnExit();
};

} // namespace glimora::backoffice
