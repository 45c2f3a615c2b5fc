// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/installation.h"

#include "core/paths.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

QString requiredTable(DatabaseKind kind)
{
    return kind == DatabaseKind::Results ? u"IsoRgr30"_s : u"KVTemp2"_s;
}

void dropDatabase(const QString &location, DatabaseKind kind)
{
    const QStringList files = DatabaseBackend::forLocation(location).databaseFiles(location);
    if (!files.isEmpty()) {
        for (const QString &file : files)
            if (QFileInfo::exists(file) && !QFile::remove(file))
                throw FileError(u"Cannot replace the database %1."_s.arg(files.first()));
        return;
    }
    Connection connection(u"drop"_s);
    connection.bind(location);
    connection.open();
    Transaction transaction(connection);
    for (const TableDef *table : Schema::tables(kind))
        connection.exec(u"DROP TABLE IF EXISTS %1"_s.arg(table->name));
    transaction.commit();
}

} // namespace

DatabaseLocations defaultLocations()
{
    return {dataDir() + u"/Results30"_s, dataDir() + u"/tmpDB20"_s};
}

bool databaseExists(const QString &location, DatabaseKind kind)
{
    const QStringList files = DatabaseBackend::forLocation(location).databaseFiles(location);
    if (!files.isEmpty())
        return QFileInfo::exists(files.first());
    Connection connection(u"probe"_s);
    connection.bind(location);
    connection.open();
    return connection.hasTable(requiredTable(kind));
}

void openExisting(Connection &connection, DatabaseKind kind)
{
    connection.open(false, requiredTable(kind));
}

void createDatabases(const DatabaseLocations &locations, bool force)
{
    const QStringList resultsFiles = DatabaseBackend::forLocation(locations.results).databaseFiles(locations.results);
    if (!resultsFiles.isEmpty() &&
        resultsFiles == DatabaseBackend::forLocation(locations.working).databaseFiles(locations.working))
        throw InputError(u"The results and the working database must be two databases."_s);
    for (const auto &[location, kind] :
         {std::pair{locations.results, DatabaseKind::Results}, std::pair{locations.working, DatabaseKind::Working}}) {
        if (databaseExists(location, kind)) {
            if (!force)
                throw FileError(u"The database %1 exists already; use --force to replace it."_s.arg(
                    DatabaseBackend::forLocation(location).databaseFiles(location).value(0, location)));
            dropDatabase(location, kind);
        }
    }
    Connection results(u"KVResults"_s);
    results.bind(locations.results);
    results.open(true);
    results.createSchema(DatabaseKind::Results);
    Connection working(u"KVtmp"_s);
    working.bind(locations.working);
    working.open(true);
    working.createSchema(DatabaseKind::Working);
    writeInstallationData(results, working);
}

const QList<InstalledCode> &installedCodes()
{
    static const QList<InstalledCode> codes{
        {u"Country"_s, {u"CountryAbr"_s, u"Country"_s}, {u"UND"_s, u"Undefined area"_s}},
        {u"Suite"_s, {u"UnitName"_s, u"CountryAbr"_s}, {u"UNDEFINED"_s, u"UND"_s}},
        {u"Lithol"_s, {u"Lithology"_s}, {u"Not defined"_s}},
        {u"Material"_s, {u"MaterialAbr"_s, u"MaterialDescription"_s}, {u"nd"_s, u"Not defined"_s}},
        {u"IsoSystem"_s, {u"IsoSystem"_s, u"IsoSystemName"_s}, {u"na"_s, u"Not assigned"_s}},
        // 147Sm: Lugmair and Marti (1978)
        {u"IsoSystem"_s,
         {u"IsoSystem"_s, u"IsoSystemName"_s, u"DecayConst1"_s},
         {u"SmNd"_s, u"Samarium-neodymium"_s, 6.54e-12}},
        {u"Approach"_s, {u"ApproachAbr"_s, u"ApproachDescription"_s}, {u"nd"_s, u"Not defined"_s}},
        {u"Approach"_s,
         {u"ApproachAbr"_s, u"ApproachDescription"_s},
         {u"DM"_s, u"Model age relative to the depleted mantle"_s}},
        {u"Technique"_s, {u"TechAbr"_s, u"Technique"_s}, {u"nd"_s, u"Not defined"_s}},
        {u"Technique"_s,
         {u"TechAbr"_s, u"Technique"_s},
         {u"TIMS"_s, u"Thermal ionisation mass spectrometry"_s}},
        {u"Interpretation"_s, {u"InterpAbr"_s, u"Interpretation"_s}, {u"nd"_s, u"Not defined"_s}},
        {u"Interpretation"_s,
         {u"InterpAbr"_s, u"Interpretation"_s},
         {u"CrsRs"_s, u"Crustal residence (model age)"_s}},
        {u"Methods"_s, {u"MethodAbr"_s, u"MethodName"_s}, {u"R"_s, u"Not yet recorded"_s}},
        {u"Laboratories"_s, {u"LaboratoryAbr"_s, u"LaboratoryName"_s}, {u"nd"_s, u"Not defined"_s}},
    };
    return codes;
}

void writeInstallationData(Connection &results, Connection &working)
{
    {
        Transaction transaction(working);
        // The shown texts decide how the ratio graphs classify an axis: "Date", "UR", "DM", "i" (initial
        // ratio), "Eps" and "238U/204Pb", the last matching test winning.
        const QList<std::pair<QString, QString>> variables{
            {u"DATE"_s, u"Date (Ma)"_s},         {u"I"_s, u"Initial ratio"_s},
            {u"EPS"_s, u"Epsilon/Gamma"_s},      {u"MU"_s, u"238U/204Pb (mu)"_s},
            {u"TUR"_s, u"T(UR) model age"_s},    {u"TDM"_s, u"T(DM) model age"_s},
        };
        for (const auto &[abbreviation, text] : variables)
            working.exec(u"INSERT INTO Variables (VariableAbr, Variable) VALUES (?, ?)"_s, {abbreviation, text});

        const QList<std::tuple<QString, QString, QString>> importable{
            {u"RecordID"_s, u"Record identifier"_s, u"N"_s},
            {u"CountryAbr"_s, u"Area code"_s, u"T"_s},
            {u"UnitName"_s, u"Geological unit"_s, u"T"_s},
            {u"Lithology"_s, u"Lithology"_s, u"T"_s},
            {u"MaterialAbr"_s, u"Dated material"_s, u"T"_s},
            {u"IsotopeSystem"_s, u"Isotope system"_s, u"T"_s},
            {u"ApproachAbr"_s, u"Approach"_s, u"T"_s},
            {u"TechAbr"_s, u"Technique"_s, u"T"_s},
            {u"InterpAbr"_s, u"Interpretation"_s, u"T"_s},
            {u"MethodAbr"_s, u"Method"_s, u"T"_s},
            {u"PrefLevel"_s, u"Preference level"_s, u"N"_s},
            {u"IAge"_s, u"Age in thousandths of Ma"_s, u"N"_s},
            {u"IAgePError"_s, u"Plus uncertainty in thousandths of Ma (95%)"_s, u"N"_s},
            {u"IAgeMError"_s, u"Minus uncertainty in thousandths of Ma (95%)"_s, u"N"_s},
            {u"AgeUnits"_s, u"Unit of the age"_s, u"T"_s},
            {u"DateString"_s, u"Date modified"_s, u"D"_s},
            {u"DecayConst1"_s, u"First decay constant used"_s, u"N"_s},
            {u"DecayConst2"_s, u"Second decay constant used"_s, u"N"_s},
            {u"SigmaPercentDC1"_s, u"1-sigma uncertainty of the first decay constant (%)"_s, u"N"_s},
            {u"SigmaPercentDC2"_s, u"1-sigma uncertainty of the second decay constant (%)"_s, u"N"_s},
            {u"Comment"_s, u"Comment"_s, u"T"_s},
            {u"RegisteredUser"_s, u"Regressed by"_s, u"T"_s},
            {u"Confidential"_s, u"Confidentiality mark"_s, u"N"_s},
        };
        for (const auto &[field, description, type] : importable)
            working.exec(u"INSERT INTO KVImpDet (FieldName, FieldDescription, TN, ColumnLet, ColumnNo) "
                         u"VALUES (?, ?, ?, '', 0)"_s,
                         {field, description, type});

        const QStringList acknowledgements{
            u"Kelvora geochronology database viewer, version %1, released under the GNU General Public "
            u"License, version 3 or later."_s.arg(QStringLiteral(KELVORA_VERSION)),
            u"Please cite the original publication of every date you use; the references of each record are "
            u"listed on its \"References\" tab."_s,
        };
        for (int i = 0; i < acknowledgements.size(); ++i)
            working.exec(u"INSERT INTO ReferTo (Software, ReferToID, ReferToMemo) VALUES ('Kelvora', ?, ?)"_s,
                         {i + 1, acknowledgements[i]});
        transaction.commit();
    }
    Transaction transaction(results);
    results.exec(u"INSERT INTO SourceListA (SourceNum, SourceID, SourceDes) VALUES (416, 'not defined', "
                 u"'Reference not yet defined')"_s);
    results.syncAutoIncrement(u"SourceListA"_s);
    results.exec(u"INSERT INTO SourceType (SourceTypeID, SourceType) VALUES ('A', 'Article')"_s);
    results.exec(u"INSERT INTO AgeUnits (AgeUnits) VALUES ('Ma')"_s);
    // Every code the program writes itself has its lookup row, so that the records it makes (a new
    // record with the dialog's defaults, the equivalent T(DM) record, a new laboratory link) are found
    // by a query, which joins each code to its table.
    for (const InstalledCode &code : installedCodes())
        results.exec(
            u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(code.table, code.columns.join(u", "_s),
                                                     QStringList(code.values.size(), u"?"_s).join(u", "_s)),
            code.values);
    transaction.commit();
}

} // namespace kv
