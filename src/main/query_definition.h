// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace kv {

class Interaction;

/// One kind of descriptor a query can be restricted by: a row of the definition grids.
struct DescriptorKind
{
    int row;                 // 1 to 15
    QString label;           // the grid's row label
    QString caption;         // the kind's radio button
    QString lookupDataset;   // the lookup list of TdmKVResults the descriptor box shows
    QString listField;       // the column shown
    QString keyField;        // the column stored
    QString conditionPrefix; // "ISORGR30.CountryAbr = '"
    QString extraTable;      // rows 10 to 15: the table line added to the from list
    QString joinLine;        // rows 10 to 15: the join line
    QString optionName;      // kvtool's option for the kind
};

/// The fifteen kinds, in grid order (row 1 first).
const QList<DescriptorKind> &descriptorKinds();
/// The kind of a row, 1 to 15; throws InputError for any other row.
const DescriptorKind &descriptorKind(int row);

/// What the "Define Query" tab edits: the descriptor values of the visible and the hidden definition
/// grid with their counts per row, the date range, the decay-constant filter, the order and the
/// statistics filters. Core of the tab: the tab's widgets mirror it and call its operations.
class QueryDefinition
{
public:
    static constexpr int Columns = 9; // column 0 holds the labels
    static constexpr int Rows = 16;   // row 0 is the header
    static constexpr int MaxValues = 8;

    enum class DecayConstants
    {
        All,
        WithoutUncertainties,
        WithUncertainties
    };
    enum Order
    {
        OrderByCountry = 0,
        OrderByRecord = 1,
        OrderByDate = 2,
        OrderByMaterial = 3
    };

    QueryDefinition();

    /// What start-up does: clears both grids and the counts, sets the age unit to "Ma" and takes the
    /// preference level given (the second PrefLevel row's). The other choices keep their start values.
    void reset(const QString &prefLevel = {});

    // The grids. Cells outside 0..8 x 0..15 read as empty.
    QString cell(int column, int row) const;
    QString hiddenCell(int column, int row) const;
    /// Typing into the visible grid: shown, but the query reads only the hidden grid.
    void setCell(int column, int row, const QString &text);
    int count(int row) const;
    /// The key values the query uses for a row: hidden cells 1 to the row's count.
    QStringList values(int row) const;
    bool hasValues(int row) const { return count(row) > 0; }
    bool hasAnyValue() const;

    // The descriptor box and the kind radio buttons.
    /// 0 while no kind radio button is checked.
    int chosenKind() const { return m_chosenKind; }
    /// The row whose lookup list the descriptor box shows: the chosen kind, or the isotope systems the
    /// box starts with.
    int listedKind() const { return m_chosenKind > 0 ? m_chosenKind : 5; }
    /// A kind radio button becomes checked: the descriptor box is cleared and shows the row's list.
    void chooseKind(int row);
    /// The value picked in the descriptor box: its shown text and its key.
    void setDescriptor(const QString &shownText, const QString &key);
    const QString &descriptorText() const { return m_descriptorText; }
    const QString &descriptorKey() const { return m_descriptorKey; }

    /// "&Add": adds the descriptor box's value to the row of its kind; with an empty box it says so
    /// and returns false.
    bool addToSelection(Interaction &ui);
    /// The value as "&Add" writes it, to a row given: a ninth value replaces the eighth.
    void addValue(int row, const QString &shownText, const QString &key);
    /// "Remove" at the visible grid's current cell: the later values move left and the row's count
    /// goes down by one, whichever cell of the row was current. The fixed label column and header
    /// row are never current, so a cell there changes nothing.
    void removeFromSelection(int column, int row);

    // Date range
    bool fromDate = false;
    bool toDate = false;
    QString fromDateText;
    QString toDateText;
    QString ageUnits = QStringLiteral("Ma");
    DecayConstants decayConstants = DecayConstants::All;
    /// Leaving eFromDate or eToDate: the text is rewritten as "  ###0.00"; an empty text stays empty.
    /// Throws InputError when it is no number.
    void leaveFromDate() { fromDateText = formatDate(fromDateText); }
    void leaveToDate() { toDateText = formatDate(toDateText); }
    /// A date box's number; InputError when it is none or lies beyond what IAge can hold.
    static double dateValue(const QString &text);
    static QString formatDate(const QString &text);

    // Order and statistics
    int order = OrderByCountry;
    bool prefLevelChecked = true;
    QString prefLevel;
    bool isochronOnly = false;

    /// Steps the query command takes on the definition before it writes the text: unchecks the
    /// preference level, from-date and to-date boxes whose texts are empty (only when the definition
    /// restricts anything at all) and rewrites the checked dates. Throws InputError for a date that
    /// is no number.
    void prepareForQuery();

private:
    std::array<std::array<QString, Rows>, Columns> m_cells;
    std::array<std::array<QString, Rows>, Columns> m_hidden;
    std::array<int, Rows> m_counts{};
    int m_chosenKind = 0;
    QString m_descriptorText;
    QString m_descriptorKey;
};

} // namespace kv
