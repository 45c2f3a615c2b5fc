// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/banded_report.h"

#include "core/errors.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace kv::report {

namespace {

constexpr double mmPerInch = 25.4;
// Positions closer than this are the same: a band laid out in millimetres meets rounding in the metrics.
constexpr double epsilon = 1e-6;
constexpr double ruleWidth = 0.25; // mm
constexpr double everything = std::numeric_limits<double>::infinity();

double pxPerMm(const QPaintDevice &device)
{
    return device.logicalDpiY() / mmPerInch;
}

double bottomOf(const BandItem &item)
{
    return item.kind == BandItem::Kind::Rule ? item.box.top() : item.box.bottom();
}

// A line of a data field: breaks and tabs would run off the line's box.
QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    return line;
}

} // namespace

Band::Band(const QPaintDevice &device) : m_device(&device)
{
}

QFont Band::font(const FontSpec &spec) const
{
    // Arial as designed; Liberation Sans has its metrics where Arial is not installed.
    QFont font;
    font.setFamilies({u"Arial"_s, u"Liberation Sans"_s, u"DejaVu Sans"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(spec.points);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    return font;
}

double Band::textWidth(const QString &text, const FontSpec &spec) const
{
    return QFontMetricsF(font(spec), m_device).horizontalAdvance(text) / pxPerMm(*m_device);
}

double Band::lineHeight(const FontSpec &spec) const
{
    return QFontMetricsF(font(spec), m_device).height() / pxPerMm(*m_device);
}

double Band::text(double x, double y, const QString &text, const FontSpec &spec, double width, Align align,
                  Qt::TextElideMode elide)
{
    const QFont f = font(spec);
    const QFontMetricsF metrics(f, m_device);
    const double k = pxPerMm(*m_device);
    QString shown = oneLine(text);
    double shownWidth = metrics.horizontalAdvance(shown) / k;
    const double boxWidth = width > 0 ? width : shownWidth;
    if (width > 0 && shownWidth > width + epsilon && elide != Qt::ElideNone) {
        shown = metrics.elidedText(shown, elide, width * k);
        shownWidth = metrics.horizontalAdvance(shown) / k;
    }
    const double left = align == Align::Left    ? x
                        : align == Align::Right ? x + boxWidth - shownWidth
                                                : x + (boxWidth - shownWidth) / 2;
    if (!shown.isEmpty()) {
        BandItem item;
        item.box = QRectF(left, y, shownWidth, metrics.height() / k);
        item.baseline = y + metrics.ascent() / k;
        item.text = shown;
        item.font = f;
        item.color = spec.color;
        m_items << item;
    }
    return left + shownWidth;
}

double Band::memo(double x, double y, double width, const QString &text, const FontSpec &spec)
{
    const QFont f = font(spec);
    const QFontMetricsF metrics(f, m_device);
    const double k = pxPerMm(*m_device);
    QString body = text;
    body.remove(u'\r');
    while (body.endsWith(u'\n'))
        body.chop(1);
    if (body.trimmed().isEmpty())
        return y;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    double top = y;
    for (const QString &paragraph : body.split(u'\n')) {
        QTextLayout layout(paragraph, f, m_device);
        layout.setTextOption(option);
        layout.beginLayout();
        QStringList lines;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width * k);
            lines << paragraph.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
        if (lines.isEmpty())
            lines << QString(); // an empty paragraph keeps its line
        for (const QString &line : std::as_const(lines)) {
            QString shown = line;
            while (!shown.isEmpty() && shown.back().isSpace())
                shown.chop(1);
            shown.replace(u'\t', u' ');
            if (!shown.isEmpty()) {
                BandItem item;
                item.box = QRectF(x, top, metrics.horizontalAdvance(shown) / k, metrics.height() / k);
                item.baseline = top + metrics.ascent() / k;
                item.text = shown;
                item.font = f;
                item.color = spec.color;
                m_items << item;
            }
            top += metrics.lineSpacing() / k;
        }
    }
    return top;
}

void Band::rule(double x1, double x2, double y)
{
    BandItem item;
    item.kind = BandItem::Kind::Rule;
    item.box = QRectF(x1, y, x2 - x1, 0);
    item.color = Qt::black;
    m_items << item;
}

void Band::place(const Band &other, double dx, double dy)
{
    for (BandItem item : other.m_items) {
        item.box.translate(dx, dy);
        item.baseline += dy;
        m_items << item;
    }
}

double Band::contentBottom() const
{
    double bottom = 0;
    for (const BandItem &item : m_items)
        bottom = std::max(bottom, bottomOf(item));
    return bottom;
}

double cutPosition(const Band &band, double from, double limit)
{
    // Move the cut up above every item it would go through, until it goes through none.
    double cut = limit;
    for (bool moved = true; moved;) {
        moved = false;
        for (const BandItem &item : band.items()) {
            const double top = item.box.top();
            if (top >= from - epsilon && top < cut - epsilon && bottomOf(item) > cut + epsilon) {
                cut = top;
                moved = true;
            }
        }
    }
    return std::max(cut, from);
}

BandPrinter::BandPrinter(QPagedPaintDevice &device, QPainter &painter, PageBand header, PageBand footer)
    : m_device(device), m_painter(painter), m_header(std::move(header)), m_footer(std::move(footer)),
      m_pxPerMm(pxPerMm(device)), m_footerBand(device)
{
    m_pageHeight = device.pageLayout().paintRect(QPageLayout::Millimeter).height();
}

void BandPrinter::startPage()
{
    if (m_page > 0 && !m_device.newPage())
        throw FileError(u"The report could not start page %1."_s.arg(m_page + 1));
    ++m_page;
    const Band header = m_header(m_page);
    paint(header, 0, everything, 0);
    m_footerBand = m_footer(m_page);
    m_top = header.height();
    m_bottom = m_pageHeight - m_footerBand.height();
    // A page set up smaller than header and footer would never take a line.
    if (m_bottom - m_top < 10)
        throw InputError(u"The page is too small for the report: choose a larger paper size."_s);
    m_y = m_top;
    m_pageOpen = true;
    m_pageEmpty = true;
}

void BandPrinter::endPage()
{
    paint(m_footerBand, 0, everything, m_bottom);
    m_pageOpen = false;
}

void BandPrinter::add(const Band &band)
{
    if (!m_pageOpen)
        startPage();
    double from = 0;
    for (;;) {
        const double room = m_bottom - m_y;
        if (band.height() - from <= room + epsilon) {
            paint(band, from, everything, m_y);
            m_y += band.height() - from;
            m_pageEmpty = false;
            return;
        }
        // A record is read best in one piece: it goes to the next page whole when it fits there.
        if (from == 0 && !m_pageEmpty && band.height() <= m_bottom - m_top) {
            endPage();
            startPage();
            continue;
        }
        double cut = cutPosition(band, from, from + room);
        if (cut <= from + epsilon) {
            if (!m_pageEmpty) {
                endPage();
                startPage();
                continue;
            }
            cut = from + room; // one item taller than a whole page: nothing else can be done
        }
        paint(band, from, cut, m_y);
        endPage();
        startPage();
        // The rest starts with its first item, not with the space above it.
        double next = band.height();
        for (const BandItem &item : band.items())
            if (item.box.top() >= cut - epsilon)
                next = std::min(next, item.box.top());
        from = next;
    }
}

int BandPrinter::finish()
{
    if (!m_pageOpen && m_page == 0)
        startPage(); // a report without details still has its page
    if (m_pageOpen)
        endPage();
    return m_page;
}

void BandPrinter::paint(const Band &band, double from, double to, double y)
{
    const double k = m_pxPerMm;
    const double shift = y - from;
    for (const BandItem &item : band.items()) {
        const double top = item.box.top();
        if (top < from - epsilon || top >= to - epsilon)
            continue;
        if (item.kind == BandItem::Kind::Rule) {
            QPen pen(item.color);
            pen.setWidthF(ruleWidth * k);
            m_painter.setPen(pen);
            const double lineY = (top + shift) * k;
            m_painter.drawLine(QPointF(item.box.left() * k, lineY), QPointF(item.box.right() * k, lineY));
        } else {
            m_painter.setFont(item.font);
            m_painter.setPen(item.color);
            m_painter.drawText(QPointF(item.box.left() * k, (item.baseline + shift) * k), item.text);
        }
    }
}

int writePdf(Report &report, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(report.pageLayout());
        writer.setTitle(report.documentName());
        writer.setCreator(report.creator());
        pages = report.print(writer);
    }
    if (!file.commit())
        throw FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    return pages;
}

} // namespace kv::report
