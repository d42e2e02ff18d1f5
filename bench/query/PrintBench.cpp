// Times a printed slip: one page of records laid out and rendered to a PDF in memory, on A4
// and on the receipt roll, p50 and p95 over the runs, against a bare QPdfWriter page that
// draws the same texts line under line in the same fonts. The slip must stay within 200 ms.
//
//   glimora_print_bench [runs]        (default: 30)
#include "query/PrintLayout.h"
#include "ui/SharedFonts.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace glimora;
using query::PrintLayout;
using query::PrintSlip;
using Paper = settings::PrintSetting::Paper;

namespace {

constexpr double LimitMs = 200;

PrintSlip pageOfRecords()
{
    PrintSlip slip;
    slip.title = QString::fromUtf8("药品及医疗服务价格公示");
    slip.company = QString::fromUtf8("晴川市第一人民医院");
    slip.summary = QString::fromUtf8("当前位置： 西药  胶囊剂");
    for (const char* caption : { "类别", "剂型", "名称", "规格", "单位", "单价（元）", "医保类别",
             "厂家或科室", "执行日期", "项目编码" })
        slip.captions << QString::fromUtf8(caption);
    slip.widths = { 60, 70, 170, 130, 45, 75, 65, 190, 90, 90 };
    for (int n = 1; n <= 14; ++n) {
        slip.records << QStringList { QString::fromUtf8("西药"), QString::fromUtf8("胶囊剂"),
            QString::fromUtf8("阿莫西林胶囊"), QString::fromUtf8("0.25g×24粒"), QString::fromUtf8("盒"),
            QString::number(9 + n * 0.37, 'f', 2), QString::fromUtf8("乙类"),
            QString::fromUtf8(n % 5 ? "四川科伦药业股份有限公司"
                                    : "四川省成都市高新技术产业开发区科伦药业股份有限公司第二制剂分厂"),
            QStringLiteral("2024-03-15"), QStringLiteral("01%1").arg(n, 5, 10, QLatin1Char('0')) };
    }
    slip.link = QStringLiteral("https://intranet.example/item?code=0100001");
    slip.printedAt = QDateTime::currentDateTime();
    return slip;
}

// The baseline: the same texts on one page, one line each, no layout.
void barePage(const PrintSlip& slip, const QPageLayout& page)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(600);
    writer.setPageLayout(page);
    QPainter painter(&writer);
    QFont font = ui::makeLogicalFont(16, 0, 400, QString::fromUtf8("楷体"));
    font.setPixelSize(80);
    painter.setFont(font);
    int y = 100;
    const QStringList heads { slip.title, slip.company, slip.summary, slip.captions.join(QLatin1Char(' ')) };
    for (const QString& line : heads)
        painter.drawText(0, y += 100, line);
    for (const QStringList& record : slip.records)
        painter.drawText(0, y += 100, record.join(QLatin1Char(' ')));
}

void slipPage(const PrintLayout& layout)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(600);
    layout.render(writer);
}

struct Times
{
    double p50 = 0;
    double p95 = 0;
};

Times timed(int runs, const std::function<void()>& work)
{
    work(); // fonts and caches warmed, as on a station that has printed once
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        ms << clock.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms[std::min<qsizetype>(ms.size() - 1, ms.size() * 95 / 100)] };
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    ui::createSharedFonts();
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 30;
    const PrintSlip slip = pageOfRecords();
    bool within = true;
    std::printf(
        "%-10s %10s %10s %10s %10s %8s\n", "paper", "slip p50", "slip p95", "bare p50", "bare p95", "ratio");
    for (const Paper paper : { Paper::A4, Paper::Receipt }) {
        const PrintLayout layout(slip, paper);
        const Times bare = timed(runs, [&] { barePage(slip, layout.pageLayout()); });
        const Times full = timed(runs, [&] { slipPage(layout); });
        std::printf("%-10s %8.1fms %8.1fms %8.1fms %8.1fms %7.2fx\n", paper == Paper::A4 ? "A4" : "receipt",
            full.p50, full.p95, bare.p50, bare.p95, full.p50 / std::max(0.001, bare.p50));
        within = within && full.p95 <= LimitMs;
    }
    std::printf("%s: a slip within %.0f ms\n", within ? "PASS" : "FAIL", LimitMs);
    return within ? 0 : 1;
}
