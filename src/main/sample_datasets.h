// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace kv {

class Interaction;
class TdmKVResults;
class TdmSmp;

/// Who opens the sample datasets: a "this record" command and "Show data" follow the record shown,
/// an all-records command walks the query.
enum class SampleDataSender { ThisRecord, AllRecords, ShowData };

/// Opens Querydm (on the record shown or on the query's text), its sample details and the datasets of
/// the sample data module, in the order the recalculations read them.
void OpenSampleDataSets(TdmKVResults &dm, TdmSmp &smp, SampleDataSender sender);
/// Closes them again; a dataset that fails to close is reported and the rest are still closed.
void CloseSampleDataSets(TdmKVResults &dm, TdmSmp &smp, Interaction &ui);
/// Opens the seven variable-name queries of the raw-data panel.
void BindRawDataPanel(TdmSmp &smp);
/// Closes them, so that the panel shows nothing and does not follow record movement.
void UnbindRawDataPanel(TdmSmp &smp);
/// "Show data": Querydm on the record shown, every sample dataset open and the panel bound.
void ShowRawIsotopeData(TdmKVResults &dm, TdmSmp &smp);

/// One value row of the panel: the role, its variable's name, value and normalising factor.
struct RawDataRow
{
    QString role, variableName;
    QVariant value, factor;
};
struct RawDataSample
{
    QString SampleNo, Frac, Included;
    QList<RawDataRow> rows;
};
/// What the raw-data panel shows for a record, sample by sample.
struct RawDataPanel
{
    QString systemName, XX, YY;
    QList<RawDataSample> samples;
};
/// The seven roles in the order the panel lists them, with the note of the error-type rows.
const QStringList &rawDataRoles();
/// Shows the data of the record Query1 stands on and reads the panel's rows by walking the samples.
RawDataPanel readRawDataPanel(TdmKVResults &dm, TdmSmp &smp);

} // namespace kv
