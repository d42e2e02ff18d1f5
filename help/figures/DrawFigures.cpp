// Draws the window sketches of the help pages: DrawFigures <output folder>.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

namespace {

const QColor frameBlue(31, 63, 127);
const QColor face(236, 236, 236);

QString u(const char* text)
{
    return QString::fromUtf8(text);
}

class Sketch
{
public:
    Sketch(int width, int height, const QString& caption)
        : m_image(width, height, QImage::Format_RGB32)
        , m_painter(&m_image)
    {
        m_image.fill(Qt::white);
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        m_painter.setRenderHint(QPainter::TextAntialiasing, true);
        QFont font(QStringLiteral("AR PL UKai CN"));
        font.setPixelSize(14);
        m_painter.setFont(font);
        m_painter.fillRect(0, 0, width, height, face);
        m_painter.fillRect(0, 0, width, 24, frameBlue);
        m_painter.setPen(Qt::white);
        m_painter.drawText(QRect(8, 0, width - 16, 24), Qt::AlignVCenter, caption);
        m_painter.setPen(frameBlue);
        m_painter.drawRect(0, 0, width - 1, height - 1);
    }

    void label(int x, int y, const QString& text, const QColor& colour = Qt::blue)
    {
        m_painter.setPen(colour);
        m_painter.drawText(QRect(x, y, 200, 22), Qt::AlignVCenter, text);
    }

    void field(const QRect& box, const QString& text, bool dropDown = false)
    {
        m_painter.fillRect(box, Qt::white);
        m_painter.setPen(Qt::gray);
        m_painter.drawRect(box);
        m_painter.setPen(Qt::black);
        m_painter.drawText(box.adjusted(4, 0, -4, 0), Qt::AlignVCenter, text);
        if (dropDown) {
            const QRect arrow(box.right() - 16, box.top() + 1, 16, box.height() - 1);
            m_painter.fillRect(arrow, face);
            m_painter.drawText(arrow, Qt::AlignCenter, u("▼"));
        }
    }

    void button(const QRect& box, const QString& text)
    {
        m_painter.fillRect(box, QColor(200, 214, 238));
        m_painter.setPen(frameBlue);
        m_painter.drawRoundedRect(box, 4, 4);
        m_painter.setPen(Qt::black);
        m_painter.drawText(box, Qt::AlignCenter, text);
    }

    void checkBox(int x, int y, const QString& text, bool checked)
    {
        m_painter.fillRect(x, y + 4, 14, 14, Qt::white);
        m_painter.setPen(Qt::gray);
        m_painter.drawRect(x, y + 4, 14, 14);
        if (checked) {
            m_painter.setPen(QPen(Qt::black, 2));
            m_painter.drawLine(x + 3, y + 11, x + 6, y + 15);
            m_painter.drawLine(x + 6, y + 15, x + 12, y + 6);
        }
        label(x + 20, y, text);
    }

    void tabs(int x, int y, const QStringList& names, int current)
    {
        QFontMetrics metrics(m_painter.font());
        for (int i = 0; i < names.size(); ++i) {
            const int width = metrics.horizontalAdvance(names[i]) + 14;
            const QRect box(x, i == current ? y : y + 3, width, i == current ? 25 : 22);
            m_painter.fillRect(box, i == current ? Qt::white : face);
            m_painter.setPen(Qt::gray);
            m_painter.drawRect(box);
            m_painter.setPen(Qt::black);
            m_painter.drawText(box, Qt::AlignCenter, names[i]);
            x += width;
        }
    }

    void grid(const QRect& box, const QStringList& captions, const QList<QStringList>& rows, int current)
    {
        m_painter.fillRect(box, Qt::white);
        const int columnWidth = (box.width() - 20) / int(captions.size());
        const int rowHeight = 22;
        m_painter.fillRect(box.left(), box.top(), box.width(), rowHeight, face);
        for (int row = -1; row < rows.size(); ++row) {
            const int top = box.top() + (row + 1) * rowHeight;
            if (row == current)
                m_painter.fillRect(box.left() + 20, top, box.width() - 20, rowHeight, QColor(210, 225, 250));
            m_painter.setPen(Qt::black);
            if (row == current)
                m_painter.drawText(QRect(box.left(), top, 20, rowHeight), Qt::AlignCenter, u("▶"));
            const QStringList& cells = row < 0 ? captions : rows[row];
            for (int column = 0; column < cells.size(); ++column) {
                const QRect cell(box.left() + 20 + column * columnWidth, top, columnWidth, rowHeight);
                m_painter.drawText(cell.adjusted(4, 0, -2, 0), Qt::AlignVCenter, cells[column]);
                m_painter.setPen(Qt::lightGray);
                m_painter.drawRect(cell);
                m_painter.setPen(Qt::black);
            }
        }
        m_painter.setPen(Qt::gray);
        m_painter.drawRect(box);
    }

    QPainter& painter() { return m_painter; }

    bool save(const QString& path)
    {
        m_painter.end();
        return m_image.save(path, "PNG");
    }

private:
    QImage m_image;
    QPainter m_painter;
};

bool drawLogin(const QString& path)
{
    Sketch sketch(380, 230, u("对话"));
    sketch.label(30, 45, u("服务器"));
    sketch.field(QRect(100, 45, 170, 22), QStringLiteral("STATION01"), true);
    sketch.button(QRect(282, 45, 60, 22), u("重置"));
    sketch.label(30, 80, u("用户名"));
    sketch.field(QRect(100, 80, 170, 22), QStringLiteral("sa"), true);
    sketch.label(30, 115, u("密   码"));
    sketch.field(QRect(100, 115, 170, 22), u("●●●●●●"));
    sketch.checkBox(100, 145, u("后台"), true);
    sketch.button(QRect(40, 185, 80, 28), u("登入"));
    sketch.button(QRect(150, 185, 80, 28), u("取消"));
    sketch.button(QRect(260, 185, 80, 28), u("帮助"));
    return sketch.save(path);
}

bool drawConfig(const QString& path)
{
    Sketch sketch(620, 320, u("系统配置"));
    sketch.tabs(12, 34,
        { u("查询指令"), u("导入指令"), u("数据库名称"), u("公司名称"), u("报表名称"), u("标题名称"),
            u("对应关系"), u("批量处理") },
        0);
    sketch.field(QRect(12, 59, 594, 184), QString());
    sketch.painter().drawText(
        QRect(18, 64, 580, 22), Qt::AlignVCenter, QStringLiteral("d1,d2,d3,d4,d5,d26,d16,d51"));
    sketch.checkBox(12, 246, u("错误信息附中文说明"), true);
    sketch.checkBox(200, 246, u("查询列表显示完整内容"), true);
    const QStringList buttons = { u("执行"), u("保存"), u("取消"), u("退出"), u("帮助") };
    for (int i = 0; i < buttons.size(); ++i)
        sketch.button(QRect(40 + i * 112, 276, 86, 28), buttons[i]);
    return sketch.save(path);
}

bool drawDataManage(const QString& path)
{
    Sketch sketch(620, 320, u("数据管理"));
    sketch.field(QRect(12, 36, 110, 230), QString());
    sketch.label(18, 40, u("项目选择器"));
    sketch.grid(QRect(132, 36, 476, 230), { u("类别"), u("剂型"), u("名称"), u("规格"), u("价格") },
        { { u("西药"), u("片剂"), u("阿莫西林胶囊"), u("0.25g×24"), QStringLiteral("12.50") },
            { u("西药"), u("注射剂"), u("葡萄糖注射液"), QStringLiteral("250ml"), QStringLiteral("3.80") },
            { u("中成药"), u("颗粒剂"), u("板蓝根颗粒"), u("10g×20袋"), QStringLiteral("15.00") },
            { u("服务"), u("检查"), u("血常规"), u("次"), QStringLiteral("20.00") } },
        1);
    const QStringList buttons = { u("新增"), u("图片"), u("退出"), u("帮助") };
    for (int i = 0; i < buttons.size(); ++i)
        sketch.button(QRect(80 + i * 130, 278, 90, 28), buttons[i]);
    return sketch.save(path);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2)
        return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool saved = drawLogin(folder.filePath(QStringLiteral("login.png")))
        && drawConfig(folder.filePath(QStringLiteral("config.png")))
        && drawDataManage(folder.filePath(QStringLiteral("datamanage.png")));
    return saved ? 0 : 1;
}
