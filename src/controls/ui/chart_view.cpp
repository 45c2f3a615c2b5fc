// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/ui/chart_view.h"

#include "core/errors.h"
#include "core/guard.h"
#include "core/interaction.h"

#include <QAction>
#include <QFileInfo>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

constexpr int LegendColumns = 5;

// Ticks that cut a manual scale into exactly the divisions a caller asked for, starting at its minimum.
class DivisionTicker : public QCPAxisTicker
{
public:
    explicit DivisionTicker(int divisions) : m_divisions(divisions) {}

protected:
    double getTickStep(const QCPRange &range) override { return range.size() / m_divisions; }
    int getSubTickCount(double) override { return m_divisions <= 10 ? 4 : 0; }
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override
    {
        QVector<double> ticks;
        if (m_divisions > 200) // more ticks than any axis can label; let labels stay readable
            return QCPAxisTicker::createTickVector(QCPAxisTicker::getTickStep(range), range);
        for (int k = 0; k <= m_divisions; ++k)
            ticks.append(k == m_divisions ? range.upper : range.lower + k * tickStep);
        return ticks;
    }

private:
    int m_divisions;
};

QCPScatterStyle::ScatterShape seriesShape(int series)
{
    static const QCPScatterStyle::ScatterShape shapes[] = {
        QCPScatterStyle::ssCircle,
        QCPScatterStyle::ssSquare,
        QCPScatterStyle::ssTriangle,
        QCPScatterStyle::ssDiamond,
        QCPScatterStyle::ssTriangleInverted,
        QCPScatterStyle::ssCrossCircle,
        QCPScatterStyle::ssPlusSquare,
        QCPScatterStyle::ssStar,
        QCPScatterStyle::ssCross,
        QCPScatterStyle::ssPlus,
    };
    return shapes[(series - 1) % std::size(shapes)];
}

QCPScatterStyle seriesMarker(int series, double size = 7.0)
{
    const QColor color = ChartView::seriesColor(series);
    QColor fill = color;
    fill.setAlpha(90); // overlapping points stay visible
    const QCPScatterStyle::ScatterShape shape = seriesShape(series);
    const bool open = shape == QCPScatterStyle::ssCross || shape == QCPScatterStyle::ssPlus ||
                      shape == QCPScatterStyle::ssStar;
    return QCPScatterStyle(shape, QPen(color, 1.4), open ? QBrush(Qt::NoBrush) : QBrush(fill), size);
}

void extend(QCPRange &range, bool &any, double value)
{
    if (!std::isfinite(value))
        return;
    if (!any) {
        range = QCPRange(value, value);
        any = true;
    } else {
        range.expand(value);
    }
}

// Data bounds with a margin, so no point sits on the frame.
QCPRange padded(const QCPRange &range)
{
    double margin = range.size() * 0.05;
    if (margin <= 0)
        margin = range.lower == 0 ? 1.0 : std::abs(range.lower) * 0.05;
    return QCPRange(range.lower - margin, range.upper + margin);
}

} // namespace

QColor ChartView::seriesColor(int series)
{
    // Told apart also by readers with red-green colour blindness, and in grey print by the markers.
    static const QColor colors[] = {
        QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00), QColor(0x00, 0x9E, 0x73),
        QColor(0xCC, 0x79, 0xA7), QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9),
        QColor(0x6A, 0x3D, 0x9A), QColor(0x8C, 0x56, 0x4B), QColor(0x00, 0x00, 0x00),
        QColor(0x99, 0x99, 0x33),
    };
    return colors[(std::max(series, 1) - 1) % std::size(colors)];
}

ChartView::ChartView(QWidget *parent) : QCustomPlot(parent)
{
    setMinimumSize(320, 240);
    setLocale(QLocale::c());

    QFont tickFont = font();
    tickFont.setPointSizeF(10);
    QFont labelFont = font();
    labelFont.setPointSizeF(11);
    for (QCPAxis *axis : {xAxis, yAxis}) {
        axis->setTickLabelFont(tickFont);
        axis->setLabelFont(labelFont);
        axis->setLabelPadding(6);
    }
    // Room on the right and top for the halves of the last tick labels, which QCustomPlot leaves
    // out rather than clip when they would cross the edge of the chart.
    axisRect()->setMinimumMargins(QMargins(15, 15, 40, 15));
    // Frame the plot, as printed figures are.
    xAxis2->setVisible(true);
    yAxis2->setVisible(true);
    xAxis2->setTickLabels(false);
    yAxis2->setTickLabels(false);
    connect(xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), xAxis2,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    connect(yAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), yAxis2,
            qOverload<const QCPRange &>(&QCPAxis::setRange));

    legend->setFont(tickFont);
    legend->setBorderPen(Qt::NoPen);
    legend->setFillOrder(QCPLegend::foColumnsFirst);
    legend->setWrap(LegendColumns);
    legend->setIconSize(24, 14);
    legend->setMargins(QMargins(12, 2, 12, 6));
    // Below the plot, so the legend never hides points.
    axisRect()->insetLayout()->take(legend);
    plotLayout()->addElement(1, 0, legend);
    plotLayout()->setRowStretchFactor(1, 0.001);
    legend->setVisible(true);

    // Once the user drags or zooms a map, its view is theirs.
    connect(this, &QCustomPlot::mousePress, this, [this](QMouseEvent *event) {
        if (interactions().testFlag(QCP::iRangeDrag) && event->button() == Qt::LeftButton)
            m_keepMapProportions = false;
    });
    connect(this, &QCustomPlot::mouseWheel, this, [this] {
        if (interactions().testFlag(QCP::iRangeZoom))
            m_keepMapProportions = false;
    });

    m_saveAction = new QAction(u"Save chart as..."_s, this);
    connect(m_saveAction, &QAction::triggered, this, &ChartView::saveChartAs);
    m_saveAction->setEnabled(false); // until the owner gives an Interaction
    addAction(m_saveAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    refresh();
}

void ChartView::setGrid(const ChartGrid &grid)
{
    m_grid = grid;
    refresh();
}

void ChartView::refresh()
{
    clearPlottables();
    m_hasData = false;
    m_dataX = m_dataY = QCPRange();
    m_keepMapProportions = false;

    // Title row on top, legend row at the bottom, each only when shown.
    if (m_title) {
        plotLayout()->remove(m_title);
        m_title = nullptr;
    }
    if (legend->layout() == plotLayout())
        plotLayout()->take(legend);
    plotLayout()->simplify();
    if (!m_grid.title().isEmpty()) {
        QFont titleFont = font();
        titleFont.setPointSizeF(13);
        titleFont.setBold(true);
        plotLayout()->insertRow(0);
        m_title = new QCPTextElement(this, m_grid.title(), titleFont);
        plotLayout()->addElement(0, 0, m_title);
    }

    if (m_grid.style() == ChartStyle::Dates)
        drawDates();
    else
        drawPairs();

    const bool showLegend = m_grid.isLegendVisible() && legend->itemCount() > 0;
    legend->setVisible(showLegend);
    if (showLegend) {
        const int row = plotLayout()->rowCount();
        plotLayout()->addElement(row, 0, legend);
        plotLayout()->setRowStretchFactor(row, 0.001);
    }

    setInteractions(m_grid.isEnabled() ? QCP::Interactions(QCP::iRangeDrag | QCP::iRangeZoom)
                                       : QCP::Interactions());
    replot();
}

void ChartView::drawDates()
{
    struct Series
    {
        int number;
        QVector<double> rows, dates, minus, plus;
    };
    QVector<Series> shown;
    for (int s = 1; s <= m_grid.seriesCount(); ++s) {
        const int first = m_grid.seriesFirstColumn(s);
        const QVector<double> upper = m_grid.columnValues(first);
        const QVector<double> lower = m_grid.columnValues(first + 1);
        const QVector<double> dates = m_grid.columnValues(first + 2);
        Series series{s, {}, {}, {}, {}};
        for (int r = 0; r < dates.size(); ++r) {
            const double date = dates[r];
            if (std::isnan(date))
                continue;
            // A missing limit draws no bar on its side; swapped limits still bracket the date.
            double high = date, low = date;
            for (double limit : {upper[r], lower[r]}) {
                if (!std::isnan(limit)) {
                    high = std::max(high, limit);
                    low = std::min(low, limit);
                }
            }
            series.rows.append(r + 1);
            series.dates.append(date);
            series.plus.append(high - date);
            series.minus.append(date - low);
            extend(m_dataY, m_hasData, high);
            extend(m_dataY, m_hasData, low);
        }
        if (!series.rows.isEmpty())
            shown.append(series);
    }

    // Series share the rows, so each is shifted a little to keep its bars apart.
    const int n = int(shown.size());
    const double step = n > 1 ? std::min(0.15, 0.6 / (n - 1)) : 0.0;
    int lastRow = 0;
    for (int i = 0; i < n; ++i) {
        const Series &series = shown[i];
        QVector<double> keys = series.rows;
        for (double &key : keys)
            key += (i - (n - 1) / 2.0) * step;
        lastRow = std::max(lastRow, int(series.rows.last()));

        const QColor color = seriesColor(series.number);
        QCPGraph *graph = addGraph();
        graph->setData(keys, series.dates, true);
        graph->setLineStyle(QCPGraph::lsNone);
        graph->setPen(QPen(color, 1.4));
        graph->setScatterStyle(seriesMarker(series.number, 6.0));
        const QString label = m_grid.seriesLabel(series.number);
        graph->setName(label);
        if (label.isEmpty())
            graph->removeFromLegend();

        auto *bars = new QCPErrorBars(xAxis, yAxis);
        bars->removeFromLegend();
        bars->setDataPlottable(graph);
        bars->setData(series.minus, series.plus);
        bars->setPen(QPen(color, 1.3));
        bars->setWhiskerWidth(5);
        bars->setSymbolGap(6);
    }
    if (m_hasData) {
        m_dataX = QCPRange(0.5, lastRow + 0.5);
    }
    setUpAxis(xAxis, m_grid.axis(AxisX), m_hasData ? m_dataX : QCPRange(0.5, 1.5), true);
    setUpAxis(yAxis, m_grid.axis(AxisY), m_hasData ? padded(m_dataY) : QCPRange(0, 1), false);
}

void ChartView::drawPairs()
{
    const bool map = m_grid.style() == ChartStyle::Map;
    bool anyX = false, anyY = false;
    for (int s = 1; s <= m_grid.seriesCount(); ++s) {
        const int first = m_grid.seriesFirstColumn(s);
        const QVector<double> xs = m_grid.columnValues(first);
        const QVector<double> ys = m_grid.columnValues(first + 1);
        const bool outline = map && m_grid.isOutline(first);
        const bool line = outline || m_grid.style() == ChartStyle::Curves;

        // Lines keep the row order and break at an empty row, which is how outlines of different
        // areas are kept apart; points skip rows without both values.
        QVector<double> order, keys, values;
        int points = 0;
        for (int r = 0; r < xs.size(); ++r) {
            const bool complete = !std::isnan(xs[r]) && !std::isnan(ys[r]);
            if (complete) {
                ++points;
                extend(m_dataX, anyX, xs[r]);
                extend(m_dataY, anyY, ys[r]);
            } else if (!line || keys.isEmpty() || std::isnan(keys.last())) {
                continue;
            }
            order.append(r + 1);
            keys.append(complete ? xs[r] : qQNaN());
            values.append(complete ? ys[r] : qQNaN());
        }
        if (points == 0)
            continue;
        if (std::isnan(keys.last())) {
            order.removeLast();
            keys.removeLast();
            values.removeLast();
        }

        const QString label = m_grid.seriesLabel(s);
        QCPAbstractPlottable *plottable = nullptr;
        if (line) {
            auto *curve = new QCPCurve(xAxis, yAxis);
            curve->setData(order, keys, values);
            curve->setScatterStyle(QCPScatterStyle::ssNone);
            curve->setPen(outline ? QPen(QColor(0x40, 0x40, 0x40), 1.2) : QPen(seriesColor(s), 2.0));
            plottable = curve;
        } else {
            QCPGraph *graph = addGraph();
            graph->setData(keys, values);
            graph->setLineStyle(QCPGraph::lsNone);
            graph->setPen(QPen(seriesColor(s), 1.4));
            graph->setScatterStyle(seriesMarker(s));
            plottable = graph;
        }
        plottable->setName(label);
        if (label.isEmpty())
            plottable->removeFromLegend();
    }
    m_hasData = anyX && anyY;

    const ChartAxis &xScale = m_grid.axis(AxisX);
    const ChartAxis &yScale = m_grid.axis(AxisY);
    setUpAxis(xAxis, xScale, m_hasData ? padded(m_dataX) : QCPRange(0, 1), false);
    setUpAxis(yAxis, yScale, m_hasData ? padded(m_dataY) : QCPRange(0, 1), false);
    const auto manual = [](const ChartAxis &scale) {
        return !scale.automatic && scale.minimum < scale.maximum;
    };
    m_keepMapProportions = map && m_hasData && !manual(xScale) && !manual(yScale);
}

void ChartView::setUpAxis(QCPAxis *axis, const ChartAxis &scale, QCPRange automaticRange, bool integerTicks)
{
    axis->setLabel(scale.title);
    QSharedPointer<QCPAxisTicker> ticker;
    // A minimum at or above the maximum draws nothing useful, so such a scale follows the data.
    if (!scale.automatic && scale.minimum < scale.maximum) {
        ticker.reset(new DivisionTicker(scale.majorDivisions));
        axis->setRange(scale.minimum, scale.maximum);
    } else if (integerTicks) {
        auto *fixed = new QCPAxisTickerFixed;
        fixed->setTickStep(1.0);
        fixed->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        fixed->setTickCount(std::min(scale.majorDivisions, 10));
        ticker.reset(fixed);
        axis->setRange(automaticRange);
    } else {
        ticker.reset(new QCPAxisTicker);
        ticker->setTickCount(std::min(scale.majorDivisions, 20));
        axis->setRange(automaticRange);
    }
    axis->setTicker(ticker);
    // The frame's opposite side carries the same ticks.
    (axis == xAxis ? xAxis2 : yAxis2)->setTicker(ticker);
}

void ChartView::updateLayout()
{
    QCustomPlot::updateLayout();
    if (m_keepMapProportions && !m_inLayout) {
        m_inLayout = true;
        keepMapProportions();
        QCustomPlot::updateLayout(); // the new ranges may change the tick labels' room
        m_inLayout = false;
    }
}

void ChartView::keepMapProportions()
{
    // A degree of longitude is cos(latitude) as long as a degree of latitude; scale the axes so the
    // map is not stretched, widening whichever range has room to spare.
    const QRect rect = axisRect()->rect();
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const QCPRange x = padded(m_dataX), y = padded(m_dataY);
    const double latitude = std::clamp(y.center(), -84.0, 84.0);
    const double shrink = std::cos(latitude * M_PI / 180.0);
    const double perPixel = std::max(x.size() * shrink / rect.width(), y.size() / rect.height());
    const double width = perPixel * rect.width() / shrink, height = perPixel * rect.height();
    xAxis->setRange(x.center() - width / 2, x.center() + width / 2);
    yAxis->setRange(y.center() - height / 2, y.center() + height / 2);
}

QStringList ChartView::saveFilters()
{
    return {u"PNG image (*.png)"_s, u"SVG drawing (*.svg)"_s, u"PDF document (*.pdf)"_s};
}

void ChartView::saveChart(const QString &fileName, int width, int height)
{
    const int w = width > 0 ? width : (this->width() >= 320 ? this->width() : 900);
    const int h = height > 0 ? height : (this->height() >= 240 ? this->height() : 600);
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    bool written = false;
    if (suffix == u"png"_s) {
        // Twice the screen's pixels, so the figure stays sharp in a printed report.
        written = savePng(fileName, w, h, 2.0, -1, 192);
    } else if (suffix == u"svg"_s) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw FileError(u"The chart could not be written to %1: %2"_s.arg(fileName, file.errorString()));
        QSvgGenerator generator;
        generator.setOutputDevice(&file);
        generator.setSize(QSize(w, h));
        generator.setViewBox(QRect(0, 0, w, h));
        generator.setTitle(m_grid.title());
        generator.setDescription(u"Kelvora chart"_s);
        generator.setResolution(96); // the screen's, so text keeps its size against the plot
        QCPPainter painter;
        if (painter.begin(&generator)) {
            painter.setMode(QCPPainter::pmVectorized);
            painter.setMode(QCPPainter::pmNoCaching);
            toPainter(&painter, w, h);
            painter.end();
        }
        file.close();
        written = file.error() == QFileDevice::NoError && file.size() > 0;
    } else if (suffix == u"pdf"_s) {
        written = savePdf(fileName, w, h, QCP::epNoCosmetic, u"Kelvora"_s, m_grid.title());
    } else {
        throw FileError(
            u"The chart cannot be saved as %1: give the file the extension .png, .svg or .pdf."_s.arg(
                fileName));
    }
    if (!written)
        throw FileError(u"The chart could not be written to %1."_s.arg(fileName));
}

void ChartView::setInteraction(Interaction *ui)
{
    m_ui = ui;
    m_saveAction->setEnabled(ui != nullptr);
}

void ChartView::saveChartAs()
{
    if (!m_ui)
        return;
    guarded(*m_ui, [this] {
        const QStringList filters = saveFilters();
        const auto choice = m_ui->saveFile(u"Save chart"_s, filters, QString(), QString());
        if (!choice || choice->path.isEmpty())
            return;
        QString fileName = choice->path;
        if (QFileInfo(fileName).suffix().isEmpty()) {
            static const char *const suffixes[] = {".png", ".svg", ".pdf"};
            fileName += QLatin1StringView(suffixes[std::clamp(choice->filterIndex, 0, 2)]);
        }
        saveChart(fileName);
    });
}

} // namespace kv
