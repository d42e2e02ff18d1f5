#pragma once

#include <QRect>
#include <QString>

#include <string>
#include <vector>

// One control of the nine screens as the system describes them: the dialog templates' tests
// check the tables against these, and the template dialog's tests what it builds from them.
struct TemplateRow
{
    int templateId = 0;
    int index = 0; // position among the template's controls
    QString id; // "-" for a static that no code addresses
    QString kind;
    QString text;
    bool shown = false;
    QRect rect;
};

std::vector<TemplateRow> templateRows();

// The row's test name: template, position and id.
std::string templateRowName(const TemplateRow& row);
