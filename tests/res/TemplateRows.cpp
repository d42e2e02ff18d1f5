#include "tests/res/TemplateRows.h"

#include <QStringList>

#include <map>

namespace {

// The controls of the screens as the system describes them, one per line:
// template | id | kind | text | shown | x, y, width, height
const char* const rowsText = R"(
100 | - | icon static (icon 128) |  | yes | 11, 17, 20, 20
100 | 1 | default push button | "确定" | yes | 178, 7, 50, 14
102 | 1024 | ADO data control |  | no | 163, 2, 42, 13
102 | 1033 | data grid |  | no | 228, 10, 18, 6
102 | 1142 | bitmap static (bitmap 139) |  | yes | 0, 0, 4, 10
102 | 1169 | black frame |  | yes | 56, 168, 16, 17
102 | 1156 | web browser |  | no | 55, 44, 48, 21
102 | 1023 | push button |  | no | 0, 192, 6, 6
102 | 1025 | push button |  | no | 5, 192, 6, 6
102 | 1026 | push button |  | no | 10, 192, 6, 6
102 | 1027 | push button |  | no | 14, 192, 6, 6
102 | 1028 | push button |  | no | 19, 192, 6, 6
102 | 1029 | push button |  | no | 25, 192, 6, 6
102 | 1030 | push button |  | no | 30, 192, 6, 6
102 | 1031 | push button |  | no | 34, 192, 6, 6
102 | 1032 | push button |  | no | 38, 192, 6, 6
102 | 1036 | push button |  | no | 44, 192, 6, 6
102 | 1037 | push button |  | no | 0, 198, 6, 6
102 | 1038 | push button |  | no | 5, 198, 6, 6
102 | 1039 | push button |  | no | 10, 198, 6, 6
102 | 1040 | push button |  | no | 14, 198, 6, 6
102 | 1041 | push button |  | no | 19, 198, 6, 6
102 | 1042 | push button |  | no | 25, 198, 6, 6
102 | 1043 | push button |  | no | 30, 198, 6, 6
102 | 1044 | push button |  | no | 34, 198, 6, 6
102 | 1045 | push button |  | no | 38, 198, 6, 6
102 | 1046 | push button |  | no | 44, 198, 6, 6
102 | 1047 | push button |  | no | 0, 204, 6, 6
102 | 1048 | push button |  | no | 5, 204, 6, 6
102 | 1049 | push button |  | no | 10, 204, 6, 6
102 | 1050 | push button |  | no | 14, 204, 6, 6
102 | 1051 | push button |  | no | 19, 204, 6, 6
102 | 1052 | push button |  | no | 25, 204, 6, 6
102 | 1053 | push button |  | no | 30, 204, 6, 6
102 | 1054 | push button |  | no | 34, 204, 6, 6
102 | 1055 | push button |  | no | 38, 204, 6, 6
102 | 1056 | push button |  | no | 44, 204, 6, 6
102 | 1092 | centred text |  | no | 7, 231, 8, 8
102 | 1094 | centred text |  | no | 7, 234, 8, 8
102 | 1089 | centred text |  | yes | 117, 211, 8, 8
102 | 1090 | centred text |  | yes | 130, 211, 8, 8
102 | 1072 | drop-down combo, sorted |  | yes | 117, 215, 16, 66
102 | 1073 | drop-down combo, sorted |  | yes | 130, 215, 16, 99
102 | 1126 | owner-drawn button | "上翻" | yes | 78, 229, 18, 10
102 | 1061 | owner-drawn button | "下翻" | yes | 99, 229, 18, 10
102 | 1140 | bitmap static (notifies) (bitmap 163) |  | yes | 102, 103, 36, 6
102 | 1003 | owner-drawn button |  | yes | 2, 118, 15, 14
102 | 1004 | owner-drawn button |  | yes | 22, 118, 15, 14
102 | 1005 | owner-drawn button |  | yes | 42, 118, 15, 14
102 | 1006 | owner-drawn button |  | yes | 62, 118, 15, 14
102 | 1007 | owner-drawn button |  | yes | 82, 118, 15, 14
102 | 1008 | owner-drawn button |  | yes | 102, 118, 15, 14
102 | 1009 | owner-drawn button |  | yes | 122, 118, 15, 14
102 | 1010 | owner-drawn button |  | yes | 142, 118, 15, 14
102 | 1011 | owner-drawn button |  | yes | 162, 118, 15, 14
102 | 1012 | owner-drawn button |  | yes | 182, 118, 15, 14
102 | 1013 | owner-drawn button |  | yes | 2, 136, 15, 14
102 | 1014 | owner-drawn button |  | yes | 22, 136, 15, 14
102 | 1015 | owner-drawn button |  | yes | 42, 136, 15, 14
102 | 1016 | owner-drawn button |  | yes | 62, 136, 15, 14
102 | 1017 | owner-drawn button |  | yes | 82, 136, 15, 14
102 | 1018 | owner-drawn button |  | yes | 102, 136, 15, 14
102 | 1019 | owner-drawn button |  | yes | 122, 136, 15, 14
102 | 1020 | owner-drawn button |  | yes | 142, 136, 15, 14
102 | 1021 | owner-drawn button |  | yes | 162, 135, 15, 14
102 | 1022 | owner-drawn button |  | yes | 182, 135, 15, 14
102 | 1057 | owner-drawn button | "最前" | yes | 210, 114, 14, 7
102 | 1058 | owner-drawn button | "向前" | yes | 229, 114, 14, 7
102 | 1059 | owner-drawn button | "向后" | yes | 210, 125, 14, 7
102 | 1060 | owner-drawn button | "最后" | yes | 229, 125, 14, 7
102 | 1137 | owner-drawn button | "上翻" | yes | 210, 135, 15, 14
102 | 1138 | owner-drawn button | "下翻" | yes | 229, 135, 15, 14
102 | 1079 | centred text |  | yes | 96, 110, 30, 10
102 | 1081 | centred text |  | yes | 33, 123, 30, 10
102 | 1034 | centred text |  | yes | 3, 110, 30, 10
102 | 1080 | centred text |  | yes | 2, 123, 30, 10
102 | 1035 | centred text |  | yes | 34, 110, 30, 10
102 | 1093 | centred text |  | yes | 163, 110, 34, 10
102 | 1091 | centred text |  | yes | 126, 110, 27, 10
102 | 1082 | centred text |  | yes | 65, 123, 30, 10
102 | 1083 | centred text |  | yes | 95, 123, 30, 10
102 | 1084 | centred text |  | yes | 2, 136, 30, 10
102 | 1085 | centred text |  | yes | 33, 136, 30, 10
102 | 1078 | centred text |  | yes | 65, 110, 30, 10
102 | 1000 | drop-down combo, sorted |  | yes | 2, 113, 30, 134
102 | 1001 | drop-down combo, sorted |  | yes | 33, 113, 30, 151
102 | 1002 | drop-down combo, sorted |  | yes | 64, 113, 30, 140
102 | 1062 | drop-down combo, sorted |  | yes | 95, 113, 30, 144
102 | 1063 | drop-down combo, sorted |  | yes | 2, 126, 30, 143
102 | 1064 | drop-down combo, sorted |  | yes | 33, 126, 30, 119
102 | 1065 | drop-down combo, sorted |  | yes | 64, 126, 30, 116
102 | 1066 | drop-down combo, sorted |  | yes | 95, 126, 30, 113
102 | 1067 | drop-down combo, sorted |  | yes | 2, 139, 30, 111
102 | 1068 | drop-down combo, sorted |  | yes | 33, 139, 30, 127
102 | 1087 | centred text |  | yes | 96, 136, 30, 10
102 | 1088 | centred text |  | yes | 130, 136, 30, 10
102 | 1086 | centred text |  | yes | 65, 136, 30, 10
102 | 1069 | drop-down combo, sorted |  | yes | 64, 139, 30, 100
102 | 1070 | drop-down combo, sorted |  | yes | 95, 139, 30, 86
102 | 1071 | drop-down combo, sorted |  | yes | 126, 139, 33, 68
102 | 1074 | drop-down combo, sorted |  | yes | 126, 113, 28, 147
102 | 1075 | drop-down combo, sorted |  | yes | 126, 126, 28, 99
102 | 1077 | drop-down combo, sorted |  | yes | 155, 126, 44, 104
102 | 1076 | drop-down combo, sorted |  | yes | 155, 113, 44, 143
102 | 1125 | owner-drawn button | "查询" | yes | 179, 138, 20, 11
102 | 1141 | text |  | yes | 2, 109, 194, 8
102 | 1143 | bitmap static (notifies) (bitmap 143) |  | yes | 45, 103, 20, 6
102 | 1144 | bitmap static (notifies) (bitmap 144) |  | yes | 2, 103, 20, 6
102 | 1145 | bitmap static (notifies) (bitmap 145) |  | yes | 27, 103, 20, 6
102 | 1146 | bitmap static (notifies) (bitmap 146) |  | yes | 66, 103, 20, 6
102 | 1147 | black frame |  | no | 0, 109, 246, 43
102 | 1171 | owner-drawn button | "Button60" | yes | 162, 138, 12, 11
102 | 1148 | bitmap static (notifies) (bitmap 141) |  | yes | 93, 103, 4, 6
129 | 1000 | drop-down combo, sorted |  | yes | 171, 104, 162, 19
129 | 1001 | drop-down combo, sorted |  | yes | 171, 132, 162, 71
129 | 1002 | password edit |  | yes | 171, 159, 162, 17
129 | 1 | owner-drawn button | "登 入" | yes | 172, 191, 36, 35
129 | 2 | owner-drawn button | "退出" | yes | 234, 191, 36, 35
129 | 140 | owner-drawn button | "帮助" | yes | 296, 191, 36, 35
129 | 1128 | check box | "后台" | yes | 132, 199, 37, 15
129 | 1003 | push button | "重置" | yes | 334, 104, 19, 17
129 | 1156 | web browser |  | no | 0, 0, 359, 52
129 | 1164 | right-aligned text | "服务器" | yes | 105, 105, 46, 21
129 | 1165 | right-aligned text | "用户名" | yes | 105, 133, 46, 17
129 | 1166 | right-aligned text | "密   码" | yes | 105, 160, 46, 17
130 | 1004 | owner-drawn button | "导入数据" | yes | 166, 117, 49, 48
130 | 1005 | owner-drawn button | "备份数据" | yes | 268, 117, 49, 48
130 | 1006 | owner-drawn button | "恢复备份" | yes | 368, 120, 49, 48
130 | 1008 | owner-drawn button | "数据录入" | yes | 268, 172, 49, 48
130 | 1010 | owner-drawn button | "数据管理" | yes | 166, 172, 49, 48
130 | 1007 | owner-drawn button | "用户管理" | yes | 166, 226, 49, 48
130 | 1012 | owner-drawn button | "修改密码" | yes | 368, 173, 49, 48
130 | 1003 | owner-drawn button | "配置系统" | yes | 268, 226, 49, 48
130 | 1011 | owner-drawn button | "退出系统" | no | 22, 168, 36, 35
130 | 1149 | centred text | "晴岚查询软件管理后台" | no | 78, 14, 172, 20
130 | 1009 | owner-drawn button | "撤销上次导入/恢复" | no | 368, 226, 49, 48
130 | 1014 | owner-drawn button | "重建搜索索引" | no | 66, 226, 49, 48
130 | 1013 | owner-drawn button | "站点状态" | no | 66, 172, 49, 48
131 | 1103 | multi-line edit |  | yes | 116, 111, 325, 89
131 | 1104 | text |  | yes | 117, 209, 322, 23
131 | 1105 | ADO data control |  | no | 251, 12, 75, 15
131 | 1024 | ADO data control |  | no | 389, 10, 58, 15
131 | 1106 | data grid |  | no | 116, 112, 324, 90
131 | 1152 | centred text | "晴岚查询软件 系统配置" | no | 78, 7, 239, 22
131 | 1102 | tab control |  | yes | 115, 99, 322, 13
131 | 1004 | owner-drawn button | "保存" | yes | 127, 231, 37, 35
131 | 1005 | owner-drawn button | "取消" | yes | 196, 231, 37, 35
131 | 1006 | owner-drawn button | "退出" | yes | 334, 231, 37, 35
131 | 1003 | owner-drawn button | "执行" | yes | 265, 231, 37, 35
131 | 1007 | owner-drawn button | "帮助" | yes | 402, 231, 37, 35
131 | 1108 | check box | "错误信息附中文说明" | yes | 117, 210, 90, 10
131 | 1109 | check box | "查询列表显示完整内容" | yes | 215, 210, 100, 10
131 | 1116 | check box | "界面细节修正" | yes | 320, 210, 70, 10
131 | 1117 | check box | "键盘操作" | yes | 392, 210, 50, 10
131 | 1120 | check box | "导入/恢复前快照" | yes | 320, 220, 70, 10
131 | 1121 | check box | "定时备份" | yes | 392, 220, 50, 10
131 | 1118 | check box | "屏幕键盘" | yes | 117, 84, 110, 10
131 | 1119 | check box | "查询屏搜索框" | yes | 117, 220, 90, 10
131 | 1125 | check box | "预建索引" | yes | 392, 84, 50, 10
131 | 1122 | check box | "站点状态" | yes | 215, 220, 100, 10
131 | 1124 | check box | "数据导出" | yes | 320, 84, 70, 10
131 | 1123 | check box | "打印/二维码" | yes | 232, 84, 80, 10
131 | 1126 | check box | "按钮显示数量" | yes | 10, 84, 100, 10
131 | 1127 | check box | "列表多选" | yes | 10, 96, 100, 10
131 | 1128 | check box | "隐藏空按钮" | yes | 10, 108, 100, 10
131 | 1129 | check box | "大字模式" | yes | 10, 120, 100, 10
131 | 1130 | check box | "高对比度" | yes | 10, 132, 100, 10
131 | 1131 | check box | "朗读" | yes | 10, 144, 100, 10
133 | 1100 | progress bar | "Progress1" | yes | 33, 38, 141, 8
133 | 1101 | text | "Static" | yes | 34, 28, 138, 8
133 | 2 | push button | "取消" | no | 81, 52, 50, 14
175 | 1002 | password edit |  | yes | 279, 159, 125, 17
175 | 1003 | password edit |  | yes | 279, 191, 125, 17
175 | 1 | owner-drawn button | "确定" | yes | 282, 237, 36, 35
175 | 2 | owner-drawn button | "取消" | yes | 358, 237, 36, 35
175 | - | right-aligned text | "新密码" | yes | 182, 163, 62, 15
175 | - | right-aligned text | "重  复" | yes | 183, 198, 62, 15
175 | 1166 | centred text | "修改当前用户密码" | no | 52, 0, 319, 29
176 | 1024 | ADO data control |  | no | 564, 2, 69, 15
176 | 1127 | tree view |  | yes | 517, 61, 116, 233
176 | 1168 | centred text | "数据管理" | no | 216, 6, 201, 25
176 | 1106 | data grid |  | yes | 0, 62, 515, 232
176 | 1020 | owner-drawn button | "上传图片" | yes | 255, 306, 36, 35
176 | 1022 | owner-drawn button | "帮助" | yes | 433, 306, 36, 35
176 | 1025 | owner-drawn button | "新增记录" | yes | 166, 306, 36, 35
176 | 1021 | owner-drawn button | "退出" | yes | 344, 306, 36, 35
176 | 1026 | owner-drawn button | "导出" | no | 522, 306, 36, 35
182 | 1127 | tree view |  | yes | 136, 103, 108, 146
182 | 1002 | edit |  | yes | 310, 108, 134, 16
182 | 1003 | password edit |  | yes | 310, 140, 134, 16
182 | 1004 | password edit |  | yes | 310, 172, 134, 16
182 | 1128 | check box | "配置系统" | yes | 203, 257, 50, 10
182 | 1129 | check box | "导入数据" | yes | 137, 257, 50, 10
182 | 1130 | check box | "备份数据" | yes | 203, 274, 50, 10
182 | 1131 | check box | "恢复数据" | yes | 271, 257, 50, 10
182 | 1132 | check box | "用户管理" | yes | 137, 274, 50, 10
182 | 1133 | check box | "数据录入" | yes | 394, 257, 50, 10
182 | 1135 | check box | "数据管理" | yes | 337, 257, 50, 10
182 | - | right-aligned text | "用户名称" | yes | 255, 110, 49, 10
182 | - | right-aligned text | "密  码" | yes | 255, 142, 49, 10
182 | - | right-aligned text | "确认密码" | yes | 255, 174, 49, 10
182 | 1134 | check box | "数据清理" | no | 7, 226, 50, 10
182 | 1136 | check box | "Check1" | no | 52, 226, 33, 10
182 | 1137 | check box | "Check1" | no | 65, 226, 33, 10
182 | 1138 | check box | "Check1" | no | 76, 226, 33, 10
182 | 1139 | check box | "Check1" | no | 65, 226, 33, 10
182 | 1140 | check box | "Check1" | no | 66, 226, 33, 10
182 | 1141 | check box | "Check1" | no | 11, 226, 33, 10
182 | 1142 | check box | "Check1" | no | 26, 226, 33, 10
182 | 1167 | centred text | "用户及权限管理" | no | 173, 0, 117, 16
182 | 1005 | owner-drawn button | "新增" | yes | 266, 204, 35, 35
182 | 1006 | owner-drawn button | "删除" | yes | 314, 204, 35, 35
182 | 1007 | owner-drawn button | "保存" | yes | 362, 204, 35, 35
182 | 1008 | owner-drawn button | "取消" | yes | 410, 204, 35, 35
183 | 1002 | tree view |  | yes | 14, 80, 420, 150
183 | 1 | owner-drawn button | "刷新" | yes | 282, 237, 36, 35
183 | 2 | owner-drawn button | "退出" | yes | 358, 237, 36, 35
183 | 1170 | centred text | "站点状态" | no | 52, 0, 319, 29
)";

} // namespace

std::vector<TemplateRow> templateRows()
{
    std::vector<TemplateRow> rows;
    std::map<int, int> counts;
    for (const QString& line : QString::fromUtf8(rowsText).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(QLatin1Char('|'));
        TemplateRow row;
        row.templateId = cells.at(0).trimmed().toInt();
        row.index = counts[row.templateId]++;
        row.id = cells.at(1).trimmed();
        row.kind = cells.at(2).trimmed();
        row.text = cells.at(3).trimmed().remove(QLatin1Char('"'));
        row.shown = cells.at(4).trimmed() == QLatin1String("yes");
        const QStringList numbers = cells.at(5).split(QLatin1Char(','));
        row.rect = QRect(numbers.at(0).trimmed().toInt(), numbers.at(1).trimmed().toInt(),
            numbers.at(2).trimmed().toInt(), numbers.at(3).trimmed().toInt());
        rows.push_back(row);
    }
    return rows;
}

std::string templateRowName(const TemplateRow& row)
{
    return QStringLiteral("t%1_%2_%3")
        .arg(row.templateId)
        .arg(row.index)
        .arg(row.id == QLatin1String("-") ? QStringLiteral("static") : row.id)
        .toStdString();
}
