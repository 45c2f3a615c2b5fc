// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/query_definition.h"

#include "core/errors.h"
#include "core/interaction.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

const QList<DescriptorKind> &descriptorKinds()
{
    // clang-format off
    static const QList<DescriptorKind> kinds{
        {1, u"Area"_s, u"Area"_s, u"CountryList"_s, u"Country"_s, u"CountryAbr"_s,
         u"ISORGR30.CountryAbr = '"_s, {}, {}, u"area"_s},
        {2, u"Unit"_s, u"Unit"_s, u"SuiteList"_s, u"UnitName"_s, u"UnitName"_s,
         u"ISORGR30.UnitName = '"_s, {}, {}, u"unit"_s},
        {3, u"Lithology"_s, u"Lithology"_s, u"Lithology"_s, u"Lithology"_s, u"Lithology"_s,
         u"ISORGR30.Lithology = '"_s, {}, {}, u"lithology"_s},
        {4, u"Material"_s, u"Material used"_s, u"Material"_s, u"MaterialDescription"_s, u"MaterialAbr"_s,
         u"ISORGR30.MaterialAbr = '"_s, {}, {}, u"material"_s},
        {5, u"System"_s, u"Isotope system"_s, u"IsoSys"_s, u"IsoSystemName"_s, u"IsoSystem"_s,
         u"ISORGR30.IsotopeSystem = '"_s, {}, {}, u"system"_s},
        {6, u"Approach"_s, u"Approach"_s, u"Approach"_s, u"ApproachDescription"_s, u"ApproachAbr"_s,
         u"ISORGR30.ApproachAbr = '"_s, {}, {}, u"approach"_s},
        {7, u"Interpretation"_s, u"Interpretation"_s, u"Interpretation"_s, u"Interpretation"_s, u"InterpAbr"_s,
         u"ISORGR30.InterpAbr = '"_s, {}, {}, u"interpretation"_s},
        {8, u"Technique"_s, u"Technique"_s, u"Technique"_s, u"Technique"_s, u"TechAbr"_s,
         u"ISORGR30.TechAbr = '"_s, {}, {}, u"technique"_s},
        {9, u"Method"_s, u"Method"_s, u"Methods"_s, u"MethodName"_s, u"MethodAbr"_s,
         u"ISORGR30.MethodAbr = '"_s, {}, {}, u"method"_s},
        {10, u"Group"_s, u"Group descriptor"_s, u"GroupLst"_s, u"Grouping"_s, u"Grouping"_s,
         u"Grouping.Grouping = '"_s, u",GROUPING "_s, u"AND ISORGR30.RecordID = GROUPING.RecordID "_s, u"group"_s},
        {11, u"Province"_s, u"Province"_s, u"ProvinceList"_s, u"Province"_s, u"Province"_s,
         u"Province.Province = '"_s, u",PROVINCE "_s, u"AND ISORGR30.RecordID = PROVINCE.RecordID "_s,
         u"province"_s},
        {12, u"Terrane"_s, u"Terrane"_s, u"TerraneList"_s, u"Terrane"_s, u"Terrane"_s,
         u"Terrane.Terrane = '"_s, u",TERRANE "_s, u"AND ISORGR30.RecordID = TERRANE.RecordID "_s, u"terrane"_s},
        {13, u"Orog. Period"_s, u"Orogenic period"_s, u"OrogenicPeriods"_s, u"OrogenicPeriod"_s,
         u"OrogenicPeriodID"_s, u"IsoOrogenic.OrogenicPeriodID = '"_s, u",ISOOROGENIC "_s,
         u"AND ISORGR30.RecordID = ISOOROGENIC.RecordID "_s, u"orogenic-period"_s},
        {14, u"Chemical type"_s, u"Chemical type"_s, u"ChemTypes"_s, u"ChemicalType"_s, u"ChemTypeAbr"_s,
         u"IsoChemType.ChemTypeAbr = '"_s, u",ISOCHEMTYPE "_s, u"AND ISORGR30.RecordID = ISOCHEMTYPE.RecordID "_s,
         u"chemical-type"_s},
        {15, u"Reference"_s, u"Reference"_s, u"SourceList"_s, u"SourceID"_s, u"SourceID"_s,
         u"SOURCEA.SourceID = '"_s, u",SOURCEA "_s, u"AND ISORGR30.RecordID = SOURCEA.RecordID "_s,
         u"reference"_s},
    };
    // clang-format on
    return kinds;
}

const DescriptorKind &descriptorKind(int row)
{
    if (row < 1 || row > int(descriptorKinds().size()))
        throw InputError(u"There is no descriptor kind %1 (the kinds are 1 to 15)."_s.arg(row));
    return descriptorKinds()[row - 1];
}

QueryDefinition::QueryDefinition()
{
    reset();
}

void QueryDefinition::reset(const QString &level)
{
    for (int c = 0; c < Columns; ++c) {
        for (int r = 0; r < Rows; ++r) {
            m_cells[c][r].clear();
            m_hidden[c][r].clear();
        }
    }
    for (int c = 1; c < Columns; ++c)
        m_cells[c][0] = QString(17, u' ') + QString::number(c) + QString(5, u' ');
    for (const DescriptorKind &kind : descriptorKinds())
        m_cells[0][kind.row] = kind.label;
    m_counts.fill(0);
    ageUnits = u"Ma"_s;
    prefLevel = level;
}

QString QueryDefinition::cell(int column, int row) const
{
    if (column < 0 || column >= Columns || row < 0 || row >= Rows)
        return {};
    return m_cells[column][row];
}

QString QueryDefinition::hiddenCell(int column, int row) const
{
    if (column < 0 || column >= Columns || row < 0 || row >= Rows)
        return {};
    return m_hidden[column][row];
}

void QueryDefinition::setCell(int column, int row, const QString &text)
{
    if (column < 1 || column >= Columns || row < 1 || row >= Rows)
        return;
    m_cells[column][row] = text;
}

int QueryDefinition::count(int row) const
{
    return row >= 1 && row < Rows ? m_counts[row] : 0;
}

QStringList QueryDefinition::values(int row) const
{
    QStringList list;
    for (int c = 1; c <= count(row); ++c)
        list << m_hidden[c][row];
    return list;
}

bool QueryDefinition::hasAnyValue() const
{
    for (int r = 1; r < Rows; ++r)
        if (m_counts[r] > 0)
            return true;
    return false;
}

void QueryDefinition::chooseKind(int row)
{
    descriptorKind(row); // validates
    m_chosenKind = row;
    m_descriptorText.clear();
    m_descriptorKey.clear();
}

void QueryDefinition::setDescriptor(const QString &shownText, const QString &key)
{
    m_descriptorText = shownText;
    m_descriptorKey = key;
}

bool QueryDefinition::addToSelection(Interaction &ui)
{
    if (m_descriptorText.isEmpty()) {
        ui.information(u"First specify a descriptor"_s);
        return false;
    }
    // Before a kind is chosen the box lists the isotope systems, so its value is one of them.
    addValue(listedKind(), m_descriptorText, m_descriptorKey);
    return true;
}

void QueryDefinition::addValue(int row, const QString &shownText, const QString &key)
{
    descriptorKind(row); // validates
    if (m_counts[row] < MaxValues)
        ++m_counts[row];
    const int column = m_counts[row];
    m_cells[column][row] = shownText;
    m_hidden[column][row] = key;
}

void QueryDefinition::removeFromSelection(int column, int row)
{
    if (column < 1 || column >= Columns || row < 1 || row >= Rows)
        return;
    int c = column;
    if (c == MaxValues) {
        m_cells[c][row].clear();
        m_hidden[c][row].clear();
    }
    while (c < MaxValues) {
        m_cells[c][row] = m_cells[c + 1][row];
        m_hidden[c][row] = m_hidden[c + 1][row];
        m_cells[c + 1][row].clear();
        m_hidden[c + 1][row].clear();
        ++c;
    }
    if (m_counts[row] > 0)
        --m_counts[row];
}

double QueryDefinition::dateValue(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw InputError(u"'%1' is not a valid date (a number of the age unit)."_s.arg(trimmed));
    // IAge holds thousandths in 32 bits: a limit beyond them would wrap into the opposite condition.
    if (std::fabs(value * 1000) > 2147483647.0)
        throw InputError(
            u"'%1' is not a valid date: dates lie within ±2147483.647 of the age unit."_s.arg(trimmed));
    return value;
}

QString QueryDefinition::formatDate(const QString &text)
{
    if (text.trimmed().isEmpty())
        return {};
    return u"  "_s + QString::number(dateValue(text), 'f', 2);
}

void QueryDefinition::prepareForQuery()
{
    if (hasAnyValue() || isochronOnly || fromDate || toDate) {
        if (prefLevel.isEmpty())
            prefLevelChecked = false;
        // blanks count as empty: they would otherwise fail as a number
        if (fromDateText.trimmed().isEmpty())
            fromDate = false;
        if (toDateText.trimmed().isEmpty())
            toDate = false;
    }
    // Both texts are checked before either is rewritten, so a bad to-date changes nothing.
    const QString from = fromDate ? formatDate(fromDateText) : fromDateText;
    const QString to = toDate ? formatDate(toDateText) : toDateText;
    fromDateText = from;
    toDateText = to;
}

} // namespace kv
