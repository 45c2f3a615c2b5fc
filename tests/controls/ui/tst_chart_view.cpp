// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/chart_view.h"
#include "core/errors.h"
#include "core/scripted_interaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using kv::ChartGrid;
using kv::ChartStyle;
using kv::ChartView;

namespace {

// Writes one cell the way the graph commands do: Row, Column, then Data.
void write(ChartGrid &grid, int row, int column, double value)
{
    grid.setRow(row);
    grid.setColumn(column);
    grid.setData(QString::number(value, 'f', 6));
}

void label(ChartGrid &grid, int column, const QString &text)
{
    grid.setColumn(column);
    grid.setColumnLabel(text);
}

struct Date
{
    double age, plus, minus;
};

// Three interpretation groups of dates with their 95% limits, laid out as upper, lower, date.
ChartGrid datesGrid()
{
    const QList<QList<Date>> groups = {
        {{2714.8, 3.2, 2.9}, {2698.0, 12.0, 11.0}, {2731.5, 6.5, 6.5}, {2705.2, 4.1, 4.4}},
        {{2045.0, 25.0, 25.0}, {2061.3, 8.0, 7.5}},
        {{3120.0, 40.0, 38.0}, {3010.5, 15.0, 15.0}, {2950.0, 60.0, 55.0}},
    };
    ChartGrid grid(4, 9);
    grid.setStyle(ChartStyle::Dates);
    grid.setTitle(u"Dates by interpretation"_s);
    grid.setAxisTitle(kv::AxisX, u"Date number"_s);
    grid.setAxisTitle(kv::AxisY, u"Date (Ma)"_s);
    const QStringList titles = {u"Crystallization"_s, u"Metamorphism"_s, u"Inherited"_s};
    for (int g = 1; g <= 3; ++g) {
        label(grid, 3 * g - 2, titles[g - 1]);
        for (int r = 1; r <= groups[g - 1].size(); ++r) {
            const Date &date = groups[g - 1][r - 1];
            write(grid, r, 3 * g, date.age);
            write(grid, r, 3 * g - 2, date.age + date.plus);
            write(grid, r, 3 * g - 1, date.age - date.minus);
        }
    }
    return grid;
}

// Initial ratio against date for two groups; dates from 1234.6 to 2340 Ma give the date plot's
// rounded axis 1230 to 2350.
ChartGrid scatterGrid()
{
    ChartGrid grid(6, 10);
    grid.setStyle(ChartStyle::Scatter);
    grid.setAxisTitle(kv::AxisX, u"Date (Ma)"_s);
    grid.setAxisTitle(kv::AxisY, u"Initial Ratio"_s);
    label(grid, 1, u"Crystallization"_s);
    label(grid, 3, u"Metamorphism"_s);
    label(grid, 5, u"Empty group"_s);
    const double first[][2] = {{2340.0, 0.70123}, {2298.0, 0.70210}, {2250.1, 0.70345}, {1902.4, 0.70401}};
    const double second[][2] = {{2045.0, 0.70512}, {2061.3, 0.70488}, {1234.6, 0.70702}};
    for (int r = 0; r < 4; ++r) {
        write(grid, r + 1, 1, first[r][0]);
        write(grid, r + 1, 2, first[r][1]);
    }
    for (int r = 0; r < 3; ++r) {
        write(grid, r + 1, 3, second[r][0]);
        write(grid, r + 1, 4, second[r][1]);
    }
    grid.setAxisAuto(kv::AxisX, false);
    grid.setAxisMaximum(kv::AxisX, 2350);
    grid.setAxisMinimum(kv::AxisX, 1230);
    grid.setAxisMajorDivisions(kv::AxisX, 5);
    grid.setAxisMajorDivisions(kv::AxisY, 5);
    return grid;
}

// Summed probability curves: 501 points per group over the date range, heights in percent.
ChartGrid curvesGrid()
{
    ChartGrid grid(501, 4);
    grid.setStyle(ChartStyle::Curves);
    grid.setAxisTitle(kv::AxisX, u"Date (Ma)"_s);
    grid.setAxisTitle(kv::AxisY, u"Relative probability (%)"_s);
    label(grid, 1, u"Crystallization"_s);
    label(grid, 3, u"Metamorphism"_s);
    const double low = 1000, high = 3000;
    for (int k = 0; k <= 500; ++k) {
        const double x = low + k * (high - low) / 500;
        const double a = 100 * std::exp(-0.5 * std::pow((x - 2710) / 40, 2));
        const double b = 60 * std::exp(-0.5 * std::pow((x - 2050) / 90, 2)) +
                         35 * std::exp(-0.5 * std::pow((x - 1700) / 60, 2));
        write(grid, k + 1, 1, x);
        write(grid, k + 1, 2, a);
        write(grid, k + 1, 3, x);
        write(grid, k + 1, 4, b);
    }
    grid.setAxisMaximum(kv::AxisX, high);
    grid.setAxisMinimum(kv::AxisX, low);
    grid.setAxisMaximum(kv::AxisY, 100);
    grid.setAxisMinimum(kv::AxisY, 0);
    grid.setAxisMajorDivisions(kv::AxisX, 5);
    grid.setAxisMajorDivisions(kv::AxisY, 5);
    return grid;
}

// Sample localities in two groups and the outlines of two areas on the pair 11/12, an empty row
// between the areas.
ChartGrid mapGrid()
{
    ChartGrid grid(12, 12);
    grid.setStyle(ChartStyle::Map);
    grid.setOutline(11, true);
    grid.setAxisTitle(kv::AxisX, u"Longitude"_s);
    grid.setAxisTitle(kv::AxisY, u"Latitude"_s);
    label(grid, 1, u"Crystallization"_s);
    label(grid, 3, u"Metamorphism"_s);
    const double samples[][2] = {{27.5, -21.3}, {28.1, -22.0}, {29.4, -20.7}, {30.2, -24.9}};
    for (int r = 0; r < 4; ++r) {
        write(grid, r + 1, r < 2 ? 1 : 3, samples[r][0]);
        write(grid, r + 1, r < 2 ? 2 : 4, samples[r][1]);
    }
    const double outline[][2] = {{25.3, -17.8}, {33.0, -18.0},      {32.5, -22.4}, {25.3, -22.4},
                                 {25.3, -17.8}, {qQNaN(), qQNaN()}, {26.0, -22.6}, {32.0, -22.6},
                                 {31.8, -27.0}, {26.0, -27.0},      {26.0, -22.6}};
    for (int r = 0; r < int(std::size(outline)); ++r) {
        grid.setRow(r + 1);
        for (int c = 0; c < 2; ++c) {
            grid.setColumn(11 + c);
            grid.setData(std::isnan(outline[r][c]) ? QString() : QString::number(outline[r][c], 'f', 6));
        }
    }
    return grid;
}

ChartGrid gridOf(ChartStyle style)
{
    switch (style) {
    case ChartStyle::Dates:
        return datesGrid();
    case ChartStyle::Scatter:
        return scatterGrid();
    case ChartStyle::Curves:
        return curvesGrid();
    case ChartStyle::Map:
        return mapGrid();
    }
    return ChartGrid();
}

QStringList legendTexts(const ChartView &view)
{
    QStringList texts;
    for (int i = 0; i < view.legend->itemCount(); ++i) {
        if (auto *item = qobject_cast<QCPPlottableLegendItem *>(view.legend->item(i)))
            texts << item->plottable()->name();
    }
    return texts;
}

// Pixels within a small distance of a colour; antialiasing blends the edges of markers and lines.
int pixelsNear(const QImage &image, const QColor &color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                    std::abs(pixel.blue() - color.blue()) <
                30)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestChartView : public QObject
{
    Q_OBJECT

private slots:
    void styles_data();
    void styles();
    void errorBarsFollowLimits();
    void manualScaleTicks();
    void crossedScaleFollowsData();
    void mapKeepsProportions();
    void mapOutlinesBreakAtEmptyRows();
    void refreshRereadsGrid();
    void largestGridDraws();
    void enabledControlsInteraction();
    void save_data();
    void save();
    void saveRefusesBadNames();
    void saveChartAs_data();
    void saveChartAs();

private:
    QTemporaryDir m_dir;
};

void TestChartView::styles_data()
{
    QTest::addColumn<ChartStyle>("style");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("graphs");
    QTest::addColumn<int>("plottables");
    QTest::addColumn<QStringList>("legend");

    const QStringList two = {u"Crystallization"_s, u"Metamorphism"_s};
    QTest::newRow("dates") << ChartStyle::Dates << u"dates"_s << 3 << 6
                           << (two + QStringList{u"Inherited"_s});
    // "Empty group" has a label but no points, so it is neither drawn nor in the legend.
    QTest::newRow("scatter") << ChartStyle::Scatter << u"scatter"_s << 2 << 2 << two;
    QTest::newRow("curves") << ChartStyle::Curves << u"curves"_s << 0 << 2 << two;
    QTest::newRow("map") << ChartStyle::Map << u"map"_s << 2 << 3 << two;
}

void TestChartView::styles()
{
    QFETCH(ChartStyle, style);
    QFETCH(QString, name);
    QFETCH(int, graphs);
    QFETCH(int, plottables);
    QFETCH(QStringList, legend);

    ChartView view;
    view.resize(900, 600);
    view.setGrid(gridOf(style));
    QCOMPARE(view.graphCount(), graphs);
    QCOMPARE(view.plottableCount(), plottables);
    QCOMPARE(legendTexts(view), legend);
    QCOMPARE(view.xAxis->label(), view.grid().axis(kv::AxisX).title);
    QCOMPARE(view.yAxis->label(), view.grid().axis(kv::AxisY).title);

    // Every value the grid holds lies inside the axes.
    for (int s = 1; s <= view.grid().seriesCount(); ++s) {
        const int first = view.grid().seriesFirstColumn(s);
        for (int r = 1; r <= view.grid().rowCount(); ++r) {
            if (style == ChartStyle::Dates) {
                for (int c = first; c < first + 3; ++c) {
                    if (const auto value = view.grid().value(r, c))
                        QVERIFY2(view.yAxis->range().contains(*value), qPrintable(QString::number(*value)));
                }
                if (view.grid().value(r, first + 2))
                    QVERIFY(view.xAxis->range().contains(r));
            } else {
                const auto x = view.grid().value(r, first), y = view.grid().value(r, first + 1);
                if (x && y) {
                    QVERIFY2(view.xAxis->range().contains(*x), qPrintable(QString::number(*x)));
                    QVERIFY2(view.yAxis->range().contains(*y), qPrintable(QString::number(*y)));
                }
            }
        }
    }

    // Inside the plot only, so a legend icon alone does not count as a drawn series.
    const QImage image = view.toPixmap(900, 600).toImage().copy(view.axisRect()->rect());
    for (int s = 1; s <= 3; ++s) {
        const int pixels = pixelsNear(image, ChartView::seriesColor(s));
        const bool drawn = s < 3 || style == ChartStyle::Dates; // series 3 of the others is empty
        QVERIFY2(drawn ? pixels > 15 : pixels == 0, qPrintable(u"series %1: %2 pixels"_s.arg(s).arg(pixels)));
    }

    // KV_CHART_IMAGES=folder keeps the pictures for a look by eye.
    const QString folder = qEnvironmentVariable("KV_CHART_IMAGES");
    if (!folder.isEmpty()) {
        for (const QString &extension : {u"png"_s, u"svg"_s, u"pdf"_s})
            view.saveChart(QDir(folder).filePath(u"chart_%1.%2"_s.arg(name, extension)), 900, 600);
    }
}

void TestChartView::errorBarsFollowLimits()
{
    ChartView view;
    view.setGrid(datesGrid());
    auto *bars = qobject_cast<QCPErrorBars *>(view.plottable(1));
    QVERIFY(bars);
    QCOMPARE(bars->dataPlottable(), view.graph(0));
    // The first date of group 1: 2714.8 +3.2 -2.9
    QCOMPARE(view.graph(0)->data()->at(0)->value, 2714.8);
    QVERIFY(qFuzzyCompare(bars->data()->at(0).errorPlus, 3.2));
    QVERIFY(qFuzzyCompare(bars->data()->at(0).errorMinus, 2.9));

    // A date written without its limits, and one whose limits were written the other way round.
    ChartGrid grid(2, 3);
    grid.setStyle(ChartStyle::Dates);
    write(grid, 1, 3, 1000);
    write(grid, 2, 3, 500);
    write(grid, 2, 1, 480);
    write(grid, 2, 2, 530);
    view.setGrid(grid);
    bars = qobject_cast<QCPErrorBars *>(view.plottable(1));
    QCOMPARE(bars->data()->at(0).errorPlus, 0.0);
    QCOMPARE(bars->data()->at(0).errorMinus, 0.0);
    QCOMPARE(bars->data()->at(1).errorPlus, 30.0);
    QCOMPARE(bars->data()->at(1).errorMinus, 20.0);
}

void TestChartView::manualScaleTicks()
{
    ChartView view;
    view.resize(900, 600);
    view.setGrid(scatterGrid());
    QCOMPARE(view.xAxis->range().lower, 1230.0);
    QCOMPARE(view.xAxis->range().upper, 2350.0);
    view.replot();
    // Five divisions of 1230..2350 are 224 Ma each.
    const QVector<double> expected = {1230, 1454, 1678, 1902, 2126, 2350};
    const QVector<double> ticks = view.xAxis->tickVector();
    QCOMPARE(ticks.size(), expected.size());
    for (int i = 0; i < ticks.size(); ++i)
        QVERIFY2(std::abs(ticks[i] - expected[i]) < 1e-9, qPrintable(QString::number(ticks[i])));
    QCOMPARE(view.xAxis->tickVectorLabels().last(), u"2350"_s);
}

void TestChartView::crossedScaleFollowsData()
{
    // A caller stopped between maximum and minimum leaves the maximum below the minimum.
    ChartGrid grid = scatterGrid();
    grid.setAxisMaximum(kv::AxisX, 1000);
    ChartView view;
    view.setGrid(grid);
    QVERIFY(view.xAxis->range().contains(1234.6));
    QVERIFY(view.xAxis->range().contains(2340.0));
}

void TestChartView::mapKeepsProportions()
{
    ChartView view;
    view.resize(900, 600);
    view.setGrid(mapGrid());
    view.replot();
    const QRect rect = view.axisRect()->rect();
    const double pixelsPerLongitude = rect.width() / view.xAxis->range().size();
    const double pixelsPerLatitude = rect.height() / view.yAxis->range().size();
    // Around 22.4 degrees south a degree of longitude is cos(22.4 deg) = 0.9245 of one of latitude.
    QVERIFY2(std::abs(pixelsPerLongitude / pixelsPerLatitude - 0.9245) < 0.01,
             qPrintable(QString::number(pixelsPerLongitude / pixelsPerLatitude)));
    for (const double latitude : {-17.8, -27.0})
        QVERIFY(view.yAxis->range().contains(latitude));
    for (const double longitude : {25.3, 33.0})
        QVERIFY(view.xAxis->range().contains(longitude));

    // A file of another shape than the window is laid out afresh.
    view.saveChart(m_dir.filePath(u"wide.png"_s), 1200, 400);
    const QRect wide = view.axisRect()->rect();
    QVERIFY(wide.width() > 2 * wide.height());
    QVERIFY(
        std::abs(wide.width() / view.xAxis->range().size() / (wide.height() / view.yAxis->range().size()) -
                 0.9245) < 0.01);
}

void TestChartView::mapOutlinesBreakAtEmptyRows()
{
    ChartView view;
    view.setGrid(mapGrid());
    QCPCurve *outline = nullptr;
    for (int i = 0; i < view.plottableCount(); ++i) {
        if (auto *curve = qobject_cast<QCPCurve *>(view.plottable(i)))
            outline = curve;
    }
    QVERIFY(outline);
    // Two closed areas of five points and one gap between them; trailing empty rows add nothing.
    QCOMPARE(outline->dataCount(), 11);
    QVERIFY(std::isnan(outline->data()->at(5)->key));
    QCOMPARE(outline->data()->at(4)->key, 25.3);
    QCOMPARE(outline->data()->at(6)->key, 26.0);
    QVERIFY(outline->name().isEmpty());
    QVERIFY(!legendTexts(view).contains(QString()));
}

void TestChartView::refreshRereadsGrid()
{
    ChartView view;
    view.setGrid(scatterGrid());
    QCOMPARE(view.graphCount(), 2);
    write(view.grid(), 1, 5, 1800);
    write(view.grid(), 1, 6, 0.7031);
    QCOMPARE(view.graphCount(), 2); // drawn only when told
    view.refresh();
    QCOMPARE(view.graphCount(), 3);
    QCOMPARE(legendTexts(view).last(), u"Empty group"_s);

    view.grid().setColumnCount(0);
    view.grid().setTitle(u"Nothing"_s);
    view.refresh();
    QCOMPARE(view.plottableCount(), 0);
    QVERIFY(!view.legend->visible());
    auto *title = qobject_cast<QCPTextElement *>(view.plotLayout()->element(0, 0));
    QVERIFY(title);
    QCOMPARE(title->text(), u"Nothing"_s);
    view.grid().setTitle(QString());
    view.refresh();
    QVERIFY(!qobject_cast<QCPTextElement *>(view.plotLayout()->element(0, 0)));
}

void TestChartView::largestGridDraws()
{
    // Every row of the largest grid, five groups of dates with their limits.
    ChartGrid grid(ChartGrid::MaxCount, 15);
    grid.setStyle(ChartStyle::Dates);
    for (int r = 1; r <= grid.rowCount(); ++r) {
        grid.setRow(r);
        for (int c = 1; c <= 15; ++c) {
            grid.setColumn(c);
            const double date = 100.0 * ((c - 1) / 3 + 1) + r * 0.01;
            grid.setData(QString::number(c % 3 == 1 ? date + 5 : c % 3 == 2 ? date - 5 : date, 'f', 2));
        }
    }
    ChartView view;
    view.resize(900, 600);
    view.setGrid(grid);
    const QImage image = view.toPixmap(900, 600).toImage();
    QCOMPARE(view.graphCount(), 5);
    QCOMPARE(view.plottableCount(), 10);
    QCOMPARE(view.graph(4)->dataCount(), ChartGrid::MaxCount);
    QCOMPARE(view.xAxis->range().upper, ChartGrid::MaxCount + 0.5);
    QVERIFY(view.yAxis->range().contains(100 + 0.01 - 5));
    QVERIFY(view.yAxis->range().contains(500 + 327.67 + 5));
    QVERIFY(pixelsNear(image, ChartView::seriesColor(5)) > 15);
}

void TestChartView::enabledControlsInteraction()
{
    ChartView view;
    view.grid().setEnabled(false);
    view.refresh();
    QCOMPARE(view.interactions(), QCP::Interactions());
    view.grid().setEnabled(true);
    view.refresh();
    QVERIFY(view.interactions().testFlag(QCP::iRangeDrag));
    QVERIFY(view.interactions().testFlag(QCP::iRangeZoom));
    QVERIFY(view.actions().contains(view.saveAction()));
    QCOMPARE(view.contextMenuPolicy(), Qt::ActionsContextMenu);
}

void TestChartView::save_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("signature");

    QTest::newRow("png") << u"png"_s << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("PNG capitals") << u"PNG"_s << QByteArray("\x89PNG\r\n\x1a\n");
    QTest::newRow("svg") << u"svg"_s << QByteArray("<svg");
    QTest::newRow("pdf") << u"pdf"_s << QByteArray("%PDF");
}

void TestChartView::save()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, signature);

    ChartView view;
    view.setGrid(datesGrid());
    const QString path = m_dir.filePath(u"chart."_s + extension);
    view.saveChart(path, 800, 500);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY2(content.size() > 1000, QByteArray::number(content.size()).constData());
    if (extension == u"svg"_s) {
        QVERIFY(content.contains(signature));
        QVERIFY(content.contains("Crystallization")); // text stays text in a drawing
    } else {
        QVERIFY(content.startsWith(signature));
    }
    if (extension.compare(u"png"_s, Qt::CaseInsensitive) == 0) {
        QImage image;
        QVERIFY(image.loadFromData(content));
        QCOMPARE(image.size(), QSize(1600, 1000)); // twice the size asked, for print
    }
}

void TestChartView::saveRefusesBadNames()
{
    ChartView view;
    view.setGrid(datesGrid());
    QVERIFY_THROWS_EXCEPTION(kv::FileError, view.saveChart(m_dir.filePath(u"chart.bmp"_s)));
    QVERIFY_THROWS_EXCEPTION(kv::FileError, view.saveChart(m_dir.filePath(u"chart"_s)));
    for (const char *extension : {".png", ".svg", ".pdf"}) {
        const QString path = m_dir.filePath(u"missing/chart"_s + QLatin1StringView(extension));
        QVERIFY_THROWS_EXCEPTION(kv::FileError, view.saveChart(path));
        QVERIFY(!QFile::exists(path));
    }
}

// "Save chart as..." asks its owner's Interaction: the filter entry chosen gives a name without one its
// extension, a cancelled dialog writes nothing, and a file that cannot be written is one error box.
void TestChartView::saveChartAs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("svg entry") << u"chart"_s << 1 << u"chart.svg"_s << QStringList{};
    QTest::newRow("own extension kept") << u"chart.pdf"_s << 0 << u"chart.pdf"_s << QStringList{};
    QTest::newRow("cancelled") << QString() << 0 << QString() << QStringList{};
    QTest::newRow("unwritable") << u"missing/chart"_s << 0 << QString()
                                << QStringList{u"error: The chart could not be written to %1."_s};
}

void TestChartView::saveChartAs()
{
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(QStringList, messages);
    QTemporaryDir dir;
    ChartView view;
    view.setGrid(datesGrid());
    QVERIFY(!view.saveAction()->isEnabled()); // no Interaction yet
    kv::ScriptedInteraction ui;
    view.setInteraction(&ui);
    QVERIFY(view.saveAction()->isEnabled());
    if (!name.isEmpty())
        ui.queueFiles({{dir.filePath(name), filter}});
    view.saveAction()->trigger();
    if (!messages.isEmpty())
        messages[0] = messages[0].arg(dir.filePath(name + u".png"_s));
    messages.prepend(u"save: Save chart"_s);
    QCOMPARE(ui.messages(), messages);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             written.isEmpty() ? QStringList() : QStringList{written});
}

QTEST_MAIN(TestChartView)
#include "tst_chart_view.moc"
