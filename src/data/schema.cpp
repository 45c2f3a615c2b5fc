// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/schema.h"

#include "data/database_backend.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// A column list reads "Name type, Name type(width), ...": types text, int16, int32, float, date, memo,
// fmemo, graphic, autoinc; text without a width is 20 characters wide.
QList<ColumnDef> parseColumns(const QString &spec)
{
    QList<ColumnDef> columns;
    const QStringList parts = spec.split(u',', Qt::SkipEmptyParts);
    for (const QString &rawPart : parts) {
        const QStringList words = rawPart.trimmed().split(u' ', Qt::SkipEmptyParts);
        Q_ASSERT(words.size() == 2);
        ColumnDef column;
        column.name = words[0];
        QString type = words[1];
        const qsizetype open = type.indexOf(u'(');
        if (open > 0) {
            column.width = type.mid(open + 1, type.size() - open - 2).toInt();
            type = type.left(open);
        }
        if (type == u"text"_s) {
            column.type = ColumnType::Text;
            if (column.width == 0)
                column.width = 20;
        } else if (type == u"int16"_s) {
            column.type = ColumnType::Int16;
        } else if (type == u"int32"_s) {
            column.type = ColumnType::Int32;
        } else if (type == u"float"_s) {
            column.type = ColumnType::Float;
        } else if (type == u"date"_s) {
            column.type = ColumnType::Date;
        } else if (type == u"memo"_s) {
            column.type = ColumnType::Memo;
        } else if (type == u"fmemo"_s) {
            column.type = ColumnType::FormattedMemo;
        } else if (type == u"graphic"_s) {
            column.type = ColumnType::Graphic;
        } else if (type == u"autoinc"_s) {
            column.type = ColumnType::AutoInc;
        } else {
            Q_ASSERT_X(false, "parseColumns", "unknown column type");
        }
        columns << column;
    }
    return columns;
}

struct TableSpec
{
    const char16_t *name;
    DatabaseKind database;
    const char16_t *columns;
    QList<QStringList> unique;
    QList<QStringList> indexes;
};

QList<TableDef> buildTables()
{
    const DatabaseKind R = DatabaseKind::Results;
    const DatabaseKind W = DatabaseKind::Working;
    const QStringList byRecord{u"RecordID"_s};
    // clang-format off
    const QList<TableSpec> specs{
        {u"IsoRgr30", R, u"CountryAbr text(3), UnitName text(50), MaterialAbr text(5), IsotopeSystem text(15), "
            u"ApproachAbr text(5), TechAbr text(5), InterpAbr text(5), PrefLevel int16, IAge int32, Age float, "
            u"AgePError float, AgeMError float, AgeUnits text(2), Lithology text(50), MethodAbr text(1), "
            u"RecordID int32, DateString date, DecayConst1 float, DecayConst2 float, Comment memo(50), "
            u"RegisteredUser text(30), Confidential int32, NewRecordID int32, IAgePError int32, IAgeMError int32, "
            u"SigmaPercentDC1 float, SigmaPercentDC2 float",
            {{u"RecordID"_s}},
            // The query's sort orders (by record: the key), each led by a column its conditions use,
            // so an ordered query reads its first rows from the index; then the other conditions.
            {{u"CountryAbr"_s, u"UnitName"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s,
              u"InterpAbr"_s, u"PrefLevel"_s, u"TechAbr"_s, u"IAge"_s},
             {u"IAge"_s, u"CountryAbr"_s, u"UnitName"_s, u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s,
              u"InterpAbr"_s, u"PrefLevel"_s},
             {u"MaterialAbr"_s, u"IsotopeSystem"_s, u"ApproachAbr"_s, u"InterpAbr"_s, u"PrefLevel"_s, u"IAge"_s,
              u"TechAbr"_s, u"CountryAbr"_s, u"UnitName"_s},
             {u"UnitName"_s}, {u"Lithology"_s}, {u"IsotopeSystem"_s}, {u"ApproachAbr"_s}, {u"InterpAbr"_s},
             {u"TechAbr"_s}}},
        {u"IsoStatistics", R, u"RecordID int32, MSWD float, NReg float, NSamples int32, Alpha float, "
            u"NReplicates int32, DegFreedom int32, FCutoff float, ProbOfFit float, ProbOfConcordance float, "
            u"Ludwigp float, XCentroid float, YCentroid float, Constraints text(20), XConstrain float, "
            u"YConstrain float, AgeConstrain float, Augmentation text(50), ProgName text(10), ZCentroid float, "
            u"ZConstrain float", {}, {byRecord}},
        {u"IsoInit", R, u"RecordID int32, InitRatio float, InitRatioError float, Epsilon float, EpsilonError float, "
            u"Mu float, MuPError float, MuMError float, Model text(20), InitialRatio3D float, "
            u"InitialRatio3dError float", {}, {byRecord}},
        {u"IsoOther", R, u"RecordID int32, LwrIntercept float, LwrPError float, LwrMError float, "
            u"Weighting text(40)", {}, {byRecord}},
        {u"Grouping", R, u"RecordID int32, Grouping text(20)", {}, {byRecord, {u"Grouping"_s}}},
        {u"Province", R, u"RecordID int32, Province text(30)", {}, {byRecord}},
        {u"Terrane", R, u"RecordID int32, Terrane text(30)", {}, {byRecord}},
        {u"IsoOrogenic", R, u"RecordID int32, OrogenicPeriodID text(4)", {}, {byRecord}},
        {u"IsoChemType", R, u"RecordID int32, ChemTypeAbr text(5)", {}, {byRecord}},
        {u"SourceA", R, u"RecordID int32, SourceTypeID text(1), SourceNum int32, SourceID text(100)", {},
            {byRecord, {u"SourceID"_s}}},
        {u"IsoLab", R, u"RecordID int32, LaboratoryAbr text(10)", {}, {byRecord}},
        {u"IsoImages", R, u"RecordID int32, ImageTypeID text(1), ImageID int32, Graphic graphic, "
            u"ImageCaption memo(20)", {}, {byRecord}},
        {u"IsoFor", R, u"RecordID int32, WhoForID text(5)", {}, {byRecord}},
        {u"SmpReg", R, u"RecordID int32, IsoSystem text(15), SampleNo text(15), Frac text(5), Included text(1)",
            {}, {byRecord, {u"SampleNo"_s}}},
        {u"SmpLoc", R, u"SampleNo text(15), Latitude float, Longitude float, Elevation float, "
            u"LatitudePrecision float, LongitudePrecision float, ElevationPrecision float", {{u"SampleNo"_s}}, {}},
        {u"SmpData", R, u"SampleNo text(20), Frac text(15), IsoSystem text(15), VariableID text, DataValue float, "
            u"NormalisingFactor float",
            {{u"SampleNo"_s, u"Frac"_s, u"IsoSystem"_s, u"VariableID"_s}}, {}},
        {u"Country", R, u"CountryAbr text(3), Country text(30), CountryOffset float, CountryOffset2 float, "
            u"CountryOffset3 float", {{u"CountryAbr"_s}}, {}},
        {u"Suite", R, u"UnitName text(50), UnitRank text(5), CountryAbr text(3), GISID int32, "
            u"FormationOffset float, FormationOffset2 float, FormationOffset3 float", {{u"UnitName"_s}},
            {{u"CountryAbr"_s}}},
        {u"Lithol", R, u"Lithology text(50)", {{u"Lithology"_s}}, {}},
        {u"Interpretation", R, u"InterpAbr text(5), Interpretation text(30)", {{u"InterpAbr"_s}}, {}},
        {u"Technique", R, u"TechAbr text(5), Technique text(40)", {{u"TechAbr"_s}}, {}},
        {u"IsoSystem", R, u"IsoSystem text(15), IsoSystemName text(30), IsoSysNo int32, DecayConst1 float, "
            u"DecayConst2 float", {{u"IsoSystem"_s}}, {}},
        {u"Approach", R, u"ApproachAbr text(5), ApproachDescription text(50)", {{u"ApproachAbr"_s}}, {}},
        {u"Material", R, u"MaterialAbr text(5), MaterialDescription text(50)", {{u"MaterialAbr"_s}}, {}},
        {u"Methods", R, u"MethodAbr text(1), MethodName text(20)", {{u"MethodAbr"_s}}, {}},
        {u"PrefLevel", R, u"PrefLevelNo int16, PrefDes memo(100)", {{u"PrefLevelNo"_s}}, {}},
        {u"AgeUnits", R, u"AgeUnits text(2)", {{u"AgeUnits"_s}}, {}},
        {u"SourceType", R, u"SourceTypeID text(1), SourceType text(15)", {{u"SourceTypeID"_s}}, {}},
        {u"SourceListA", R, u"SourceID text(100), SourceNum autoinc, SourceDes fmemo(50)", {}, {{u"SourceID"_s}}},
        {u"ProvinceList", R, u"Province text(30)", {{u"Province"_s}}, {}},
        {u"TerraneList", R, u"Terrane text(30)", {{u"Terrane"_s}}, {}},
        {u"OrogenicPeriod", R, u"OrogenicPeriodID text(4), OrogenicPeriod text(30)", {{u"OrogenicPeriodID"_s}}, {}},
        {u"ChemTypes", R, u"ChemTypeAbr text(5), ChemicalType text(30)", {{u"ChemTypeAbr"_s}}, {}},
        {u"ImageTypes", R, u"ImageTypeID text(1), ImageType text(30)", {{u"ImageTypeID"_s}}, {}},
        {u"Laboratories", R, u"LaboratoryAbr text(10), LaboratoryName text(50)", {{u"LaboratoryAbr"_s}}, {}},
        {u"ForList", R, u"WhoForID text(5), WhoFor text", {{u"WhoForID"_s}}, {}},
        {u"GroupingList", R, u"Grouping text(20)", {{u"Grouping"_s}}, {}},
        {u"BlockingT", R, u"MaterialAbr text(5), IsoSystem text(15), ApproachAbr text(5), BlockingT float, "
            u"BlockingTUncertainty float", {{u"MaterialAbr"_s, u"IsoSystem"_s, u"ApproachAbr"_s}}, {}},
        {u"IsoUR", R, u"IsoSystem text(15), URparam1 float, URparam2 float, URparam3 float", {{u"IsoSystem"_s}}, {}},
        {u"IsoModels", R, u"IsoSystem text(15), ModelID text(5), ModelParam1 float, ModelParam2 float, "
            u"ModelParam3 float, ModelParam4 float, ModelParam5 float, ModelName text(20)",
            {{u"IsoSystem"_s, u"ModelID"_s}}, {}},
        {u"SysVarData", R, u"IsoSystem text(15), ApproachAbr text(5), XX text(15), YY text(15), X text(15), "
            u"Xprec text(15), Xerr text(15), Xerrt text(15), Y text(15), Yprec text(15), Yerr text(15), "
            u"Yerrt text(15), R text(15), Z text(15), Zprec text(15), Zerr text(15), Zerrt text(15)",
            {{u"IsoSystem"_s, u"ApproachAbr"_s}}, {}},
        {u"VarVar", R, u"VariableID text(15), VariableName text(30)", {{u"VariableID"_s}}, {}},
        {u"AreaBound", R, u"CountryAbr text(3), BoundarySequence int16, Longitude float, Latitude float", {},
            {{u"CountryAbr"_s, u"BoundarySequence"_s}}},
        {u"SADCCtry", R, u"CountryAbr text(3), Country text(30)", {{u"CountryAbr"_s}}, {}},
        {u"SADCBound", R, u"CountryAbr text(3), BoundarySequence int32, Longitude float, Latitude float", {},
            {{u"CountryAbr"_s, u"BoundarySequence"_s}}},

        {u"KVTempM", W, u"Interpretation text(20), AgeBand text(20), InterpAbr text(5), ColumnNo int16, "
            u"SampleNo text(15), Age float, AgePlus float, AgeMinus float, Latitude float, Longitude float, "
            u"Elevation float", {}, {}},
        {u"KVTemp2", W, u"Interpretation text(20), Age float, SuitName text(50), InterpAbr text(5), "
            u"Grouping text(20), ColumnNo int16, AgeErrorAv float, AgePlusError float, AgeMinusError float", {}, {}},
        {u"KVTemp2g", W, u"Grouping text(20), Age float, SuitName text(50), InterpAbr text(5), "
            u"Interpretation text(20), ColumnNo int16, AgeErrorAv float, AgePlusError float, "
            u"AgeMinusError float", {}, {}},
        {u"KVTemp3", W, u"Interpretation text(20), PlotNo int16, ColumnNo int16, VariableX float, VariableY float, "
            u"Grouping text(20)", {}, {}},
        {u"KVTemp4", W, u"Grouping text(20), SuitName text(50), ColumnNo int16, Age float, AgePlusError float, "
            u"AgeMinusError float, IsoSystem text(15), MaterialAbr text(5), ApproachAbr text(5), BlockingT float, "
            u"BlockingTUncertainty float", {}, {}},
        {u"KVImpDet", W, u"FieldName text(60), FieldDescription text(100), TN text(2), ColumnLet text(4), "
            u"ColumnNo int16", {{u"FieldName"_s}}, {}},
        {u"Variables", W, u"VariableAbr text(5), Variable text(20)", {{u"VariableAbr"_s}}, {}},
        {u"ReferTo", W, u"Software text(20), ReferToID int16, ReferToMemo memo(1)", {}, {}},
    };
    // clang-format on

    QList<TableDef> tables;
    for (const TableSpec &spec : specs) {
        TableDef table;
        table.name = QString::fromUtf16(spec.name);
        table.database = spec.database;
        table.columns = parseColumns(QString::fromUtf16(spec.columns));
        table.uniqueKeys = spec.unique;
        table.indexes = spec.indexes;
        // Key columns must be given: a row without its key is refused as a missing required field.
        for (const QStringList &key : table.uniqueKeys)
            for (ColumnDef &column : table.columns)
                if (key.contains(column.name, Qt::CaseInsensitive))
                    column.required = true;
        tables << table;
    }
    return tables;
}

} // namespace

QMetaType::Type ColumnDef::metaType() const
{
    switch (type) {
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::FormattedMemo:
        return QMetaType::QString;
    case ColumnType::Int16:
    case ColumnType::Int32:
    case ColumnType::AutoInc:
        return QMetaType::Int;
    case ColumnType::Float:
        return QMetaType::Double;
    case ColumnType::Date:
        return QMetaType::QDate;
    case ColumnType::Graphic:
        return QMetaType::QByteArray;
    }
    return QMetaType::UnknownType;
}

const ColumnDef *TableDef::column(const QString &columnName) const
{
    for (const ColumnDef &c : columns)
        if (c.name.compare(columnName, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QList<TableDef> &Schema::tables()
{
    static const QList<TableDef> all = buildTables();
    return all;
}

QList<const TableDef *> Schema::tables(DatabaseKind database)
{
    QList<const TableDef *> result;
    for (const TableDef &table : tables())
        if (table.database == database)
            result << &table;
    return result;
}

const TableDef *Schema::table(const QString &name)
{
    static const QHash<QString, const TableDef *> byName = [] {
        QHash<QString, const TableDef *> hash;
        for (const TableDef &table : tables())
            hash.insert(table.name.toLower(), &table);
        return hash;
    }();
    return byName.value(name.toLower());
}

QString Schema::columnSpelling(const QString &name)
{
    static const QHash<QString, QString> spellings = [] {
        QHash<QString, QString> hash;
        for (const TableDef &table : tables())
            for (const ColumnDef &column : table.columns)
                hash.insert(column.name.toLower(), column.name);
        return hash;
    }();
    return spellings.value(name.toLower(), name);
}

const ColumnDef *Schema::anyColumn(const QString &name)
{
    static const QHash<QString, const ColumnDef *> columns = [] {
        QHash<QString, const ColumnDef *> hash;
        for (const TableDef &table : tables())
            for (const ColumnDef &column : table.columns)
                if (!hash.contains(column.name.toLower()))
                    hash.insert(column.name.toLower(), &column);
        return hash;
    }();
    return columns.value(name.toLower());
}

QStringList Schema::createStatements(const TableDef &table, Backend backend)
{
    const DatabaseBackend &engine = DatabaseBackend::of(backend);
    QStringList columns;
    for (const ColumnDef &column : table.columns) {
        QString line = column.name + u' ' + engine.columnType(column);
        if (column.required && column.type != ColumnType::AutoInc)
            line += u" NOT NULL"_s;
        columns << line;
    }
    QStringList statements;
    statements << u"CREATE TABLE %1 (%2)"_s.arg(table.name, columns.join(u", "_s));
    for (const QStringList &key : table.uniqueKeys)
        statements << u"CREATE UNIQUE INDEX %1_%2_key ON %1 (%3)"_s.arg(table.name, key.join(u'_'),
                                                                        key.join(u", "_s));
    for (const QStringList &index : table.indexes) {
        // PostgreSQL cuts names at 63 characters: a long index is named by its first column and width.
        QString name = u"%1_%2_idx"_s.arg(table.name, index.join(u'_'));
        if (name.size() > 63)
            name = u"%1_%2_%3c_idx"_s.arg(table.name, index.first()).arg(index.size());
        statements << u"CREATE INDEX %1 ON %2 (%3)"_s.arg(name, table.name, index.join(u", "_s));
    }
    return statements;
}

QVariant Schema::cutToWidth(const ColumnDef &column, const QVariant &value)
{
    if (column.type != ColumnType::Text || value.isNull())
        return value;
    const QString text = value.toString();
    return text.size() > column.width ? QVariant(text.left(column.width)) : value;
}

} // namespace kv
