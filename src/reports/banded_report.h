// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <functional>

class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

namespace kv::report {

/// A font as a report's layout names it: a size in points and a style.
struct FontSpec
{
    double points = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;
};

enum class Align { Left, Right, Centre };

/// One piece of a laid-out band that a page break never cuts: a line of text or a rule.
/// Positions in millimetres from the band's top left.
struct BandItem
{
    enum class Kind { Text, Rule };
    Kind kind = Kind::Text;
    QRectF box;          // a text's line box; a rule runs along box.top() from box.left() to box.right()
    double baseline = 0; // a text's baseline, from the band's top
    QString text;
    QFont font;
    QColor color;
};

/// A band laid out for one paint device: its items and its height. Texts are measured with the
/// device's own font metrics, so what was measured is what gets printed.
class Band
{
public:
    explicit Band(const QPaintDevice &device);

    /// A text in a box from x, width wide (as wide as the text when width is 0), its top at y. A text
    /// wider than its box ends in an ellipsis. Returns the right edge of the text as placed.
    double text(double x, double y, const QString &text, const FontSpec &font, double width = 0,
                Align align = Align::Left, Qt::TextElideMode elide = Qt::ElideRight);
    /// A memo: the text wrapped into lines width wide, each line an item of its own, the first at y.
    /// Returns the bottom of the last line (y for an empty text).
    double memo(double x, double y, double width, const QString &text, const FontSpec &font);
    /// A rule from x1 to x2 at y.
    void rule(double x1, double x2, double y);
    /// Takes the items of another band, moved by dx and dy.
    void place(const Band &other, double dx, double dy);

    double textWidth(const QString &text, const FontSpec &font) const;
    /// The height of one line of text in the font.
    double lineHeight(const FontSpec &font) const;

    double height() const { return m_height; }
    void setHeight(double height) { m_height = height; }
    /// The lowest bottom of the band's items, 0 when it has none.
    double contentBottom() const;
    const QList<BandItem> &items() const { return m_items; }

    QFont font(const FontSpec &spec) const;

private:
    const QPaintDevice *m_device;
    QList<BandItem> m_items;
    double m_height = 0;
};

/// Where a band's part from `from` may end at most at `limit` without cutting an item: the lowest
/// position at or above limit that lies inside no item. Returns `from` when the first item below
/// `from` is already cut by limit.
double cutPosition(const Band &band, double from, double limit);

/// Lays bands down the pages of a paged device and paints each page as it is filled, so that a report
/// of any length holds one page at a time. Every page gets the header at its top and the footer at its
/// foot. A detail band that does not fit below the last one starts a new page when it fits on one
/// page; a longer band is cut between two of its items, never through a line of text.
class BandPrinter
{
public:
    using PageBand = std::function<Band(int page)>;

    /// The painter must be active on the device, whose page layout gives the page's height.
    BandPrinter(QPagedPaintDevice &device, QPainter &painter, PageBand header, PageBand footer);

    void add(const Band &band);
    /// Paints the last page's footer; returns the number of pages.
    int finish();

    int page() const { return m_page; }

private:
    void startPage();
    void endPage();
    void paint(const Band &band, double from, double to, double y);

    QPagedPaintDevice &m_device;
    QPainter &m_painter;
    PageBand m_header;
    PageBand m_footer;
    double m_pxPerMm;
    double m_pageHeight = 0; // the printable height
    double m_top = 0;        // where the detail bands begin, below the header
    double m_bottom = 0;     // where they end, above the footer
    double m_y = 0;
    int m_page = 0;
    bool m_pageOpen = false;
    bool m_pageEmpty = true; // no detail band on the page yet
    Band m_footerBand;
};

/// A report that can lay itself out on a paged device: the preview's printer or a PDF file.
class Report
{
public:
    virtual ~Report() = default;
    virtual QString documentName() const = 0;
    /// The program named as the creator of a PDF file.
    virtual QString creator() const { return {}; }
    virtual QPageLayout pageLayout() const = 0;
    /// Lays out and paints every page on the device, which has the report's page layout or one the
    /// user chose. Returns the number of pages.
    virtual int print(QPagedPaintDevice &device) = 0;
};

/// Writes a report as a PDF file; an existing file is replaced only when the report was written whole.
/// Returns the number of pages; throws FileError when the file cannot be written.
int writePdf(Report &report, const QString &path);

} // namespace kv::report
