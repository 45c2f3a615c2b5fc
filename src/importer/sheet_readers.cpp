// SPDX-License-Identifier: GPL-3.0-or-later
#include "importer/sheet_readers.h"

#include "controls/workbook_sheet.h"
#include "core/interaction.h"

using namespace Qt::StringLiterals;

namespace kv {

const SheetReaderInfo &sheetReaderInfo(SheetReader reader)
{
    static const SheetReaderInfo localities{u"SmpLoc"_s,
                                            7,
                                            {u"SampleNo"_s},
                                            {u"Checking for blank values"_s},
                                            u"Problem importing sample locality information"_s,
                                            u"localities"_s};
    static const SheetReaderInfo rawData{u"SmpData"_s,
                                         25,
                                         {u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s},
                                         {u"Checking data for blank values"_s},
                                         u"Problem importing sample raw data"_s,
                                         u"raw"_s};
    static const SheetReaderInfo records{
        u"IsoRgr30"_s,
        23,
        {u"CountryAbr"_s, u"UnitName"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s, u"TechAbr"_s,
         u"InterpAbr"_s, u"PrefLevel"_s, u"IAge"_s, u"IAgePError"_s},
        {u"Checking for blank values"_s},
        u"Problem importing geochronology records"_s,
        u"records"_s};
    static const SheetReaderInfo units{u"Suite"_s,
                                       7,
                                       {u"UnitName"_s},
                                       {u"Deleting blank values"_s, u"Checking for blank values"_s},
                                       u"Problem importing unit information"_s,
                                       u"units"_s};
    switch (reader) {
    case SheetReader::Localities:
        return localities;
    case SheetReader::RawData:
        return rawData;
    case SheetReader::Records:
        return records;
    case SheetReader::Units:
        break;
    }
    return units;
}

std::optional<SheetReader> sheetReaderNamed(const QString &word)
{
    for (SheetReader reader :
         {SheetReader::Localities, SheetReader::RawData, SheetReader::Records, SheetReader::Units})
        if (sheetReaderInfo(reader).batchName.compare(word, Qt::CaseInsensitive) == 0)
            return reader;
    return std::nullopt;
}

const QList<RawDataColumn> &rawDataColumns()
{
    // Columns 6, 11 and 17 hold the normalising factors of 5, 10 and 16; every other column from 3
    // to 25 is a variable normalised by 10000.
    static const QList<RawDataColumn> columns = [] {
        QList<RawDataColumn> list;
        for (int c = 3; c <= 25; ++c) {
            if (c == 6 || c == 11 || c == 17)
                continue;
            list.append({c, (c == 5 || c == 10 || c == 16) ? c + 1 : 0});
        }
        return list;
    }();
    return columns;
}

namespace {

QStringList headings(const WorkbookSheet &sheet, int count)
{
    QStringList names;
    for (int c = 1; c <= count; ++c)
        names << sheet.text(1, c);
    return names;
}

void readRecordRows(const WorkbookSheet &sheet, int lastRow, StagingTable &staging, int headerCount)
{
    QList<int> fields;
    for (const QString &name : headings(sheet, headerCount))
        fields << staging.fieldIndex(name);
    for (int row = firstDataRow; row <= lastRow; ++row) {
        staging.append(row);
        for (int c = 1; c <= headerCount; ++c)
            if (fields[c - 1] >= 0)
                staging.setText(fields[c - 1], sheet.text(row, c));
        staging.post();
    }
}

void readRawDataRows(const WorkbookSheet &sheet, int lastRow, const QString &sheetName,
                     StagingTable &staging, int headerCount)
{
    const QStringList names = headings(sheet, headerCount);
    const int sampleField = staging.fieldIndex(names.value(0));
    const int fractionField = staging.fieldIndex(names.value(1));
    const int systemField = staging.fieldIndex(u"IsoSystem"_s);
    const int variableField = staging.fieldIndex(u"VariableID"_s);
    const int valueField = staging.fieldIndex(u"DataValue"_s);
    const int factorField = staging.fieldIndex(u"NormalisingFactor"_s);
    for (int row = firstDataRow; row <= lastRow; ++row) {
        const QString sample = sheet.text(row, 1);
        const QString fraction = sheet.text(row, 2);
        for (const RawDataColumn &column : rawDataColumns()) {
            const QString variable = names.value(column.column - 1);
            staging.append(row, variable);
            staging.setText(sampleField, sample);
            staging.setText(fractionField, fraction);
            staging.setText(systemField, sheetName);
            // A value the field refuses leaves the rest of the row unset; cleaning removes the row.
            if (staging.setText(variableField, variable) && staging.setText(valueField, sheet.text(row, column.column))) {
                if (column.factorColumn)
                    staging.setText(factorField, sheet.text(row, column.factorColumn));
                else
                    staging.setValue(factorField, defaultNormalisingFactor);
            }
            staging.post();
        }
    }
}

} // namespace

StagingTable readSheetRows(const WorkbookSheet &sheet, int lastRow, SheetReader reader, const QString &sheetName)
{
    const SheetReaderInfo &info = sheetReaderInfo(reader);
    StagingTable staging(info.table, info.requiredFields);
    if (reader == SheetReader::RawData)
        readRawDataRows(sheet, lastRow, sheetName, staging, info.headerCount);
    else
        readRecordRows(sheet, lastRow, staging, info.headerCount);
    return staging;
}

qsizetype cleanStagedRows(StagingTable &staging, SheetReader reader, Interaction &ui)
{
    const SheetReaderInfo &info = sheetReaderInfo(reader);
    const auto field = [&](const char16_t *name) { return staging.fieldIndex(QString::fromUtf16(name)); };
    const auto blank = [](int column) {
        return [column](const StagedRow &row) { return row.values[column].isNull(); };
    };
    qsizetype removed = 0;
    switch (reader) {
    case SheetReader::Localities:
        ui.progress(info.cleaningStatus[0]);
        // 900000 marks a sample without a usable latitude: the locality charts plot only those below 90.
        staging.fillBlank(field(u"Latitude"), 900000.0);
        staging.fillBlank(field(u"Longitude"), 0.0);
        staging.fillBlank(field(u"Elevation"), 0.0);
        break;
    case SheetReader::RawData: {
        ui.progress(info.cleaningStatus[0]);
        const int variable = field(u"VariableID");
        removed += staging.removeIf(blank(variable));
        removed += staging.removeIf(
            [variable](const StagedRow &row) { return row.values[variable].toString().trimmed() == u"NA"_s; });
        removed += staging.removeIf(blank(field(u"DataValue")));
        staging.fillBlank(field(u"NormalisingFactor"), defaultNormalisingFactor);
        break;
    }
    case SheetReader::Records:
        ui.progress(info.cleaningStatus[0]);
        staging.fillBlank(field(u"CountryAbr"), u"UND"_s);
        staging.fillBlank(field(u"UnitName"), u"UNDEFINED"_s);
        staging.fillBlank(field(u"MaterialAbr"), u"nd"_s);
        staging.fillBlank(field(u"IsotopeSystem"), u"na"_s);
        staging.fillBlank(field(u"ApproachAbr"), u"nd"_s);
        staging.fillBlank(field(u"TechAbr"), u"nd"_s);
        staging.fillBlank(field(u"InterpAbr"), u"nd"_s);
        staging.fillBlank(field(u"PrefLevel"), 0);
        // 100 Ma, in the table's thousandths of a Ma.
        staging.fillBlank(field(u"IAgePError"), 100000);
        removed += staging.removeIf(blank(field(u"IAge")));
        removed += staging.removeIf(blank(field(u"RecordID")));
        break;
    case SheetReader::Units:
        ui.progress(info.cleaningStatus[0]);
        removed += staging.removeIf(blank(field(u"UnitName")));
        ui.progress(info.cleaningStatus[1]);
        staging.fillBlank(field(u"CountryAbr"), u"UND"_s);
        break;
    }
    return removed;
}

} // namespace kv
