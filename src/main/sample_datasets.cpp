// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/sample_datasets.h"

#include "core/errors.h"
#include "core/interaction.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"

using namespace Qt::StringLiterals;

namespace kv {

namespace {

QList<Dataset *> valueQueries(TdmSmp &smp)
{
    return {smp.QX, smp.QXerr, smp.QXerrt, smp.QY, smp.QYerr, smp.QYerrt, smp.QR};
}

QList<Dataset *> nameQueries(TdmSmp &smp)
{
    return {smp.QXname, smp.QXerrname, smp.QXerrtname, smp.QYname, smp.QYerrname, smp.QYerrtname, smp.QRname};
}

} // namespace

const QStringList &rawDataRoles()
{
    static const QStringList roles{u"X"_s, u"Xerr"_s, u"Xerrt"_s, u"Y"_s, u"Yerr"_s, u"Yerrt"_s, u"R"_s};
    return roles;
}

void OpenSampleDataSets(TdmKVResults &dm, TdmSmp &smp, SampleDataSender sender)
{
    Dataset &q = *dm.Querydm;
    q.close();
    if (sender == SampleDataSender::AllRecords) {
        q.setMaster(nullptr);
        q.setSql(dm.Query1->sql());
    } else {
        q.setMaster(dm.Query1);
        q.setSql({u"select * from IsoRgr30"_s, u"where RecordID = :RecordID"_s});
    }
    // The panel's navigator moves back as well as forward.
    dm.QdmSmp->setForwardOnly(sender != SampleDataSender::ShowData);
    for (Dataset *d : {dm.Querydm, dm.QdmInit, dm.QdmSmp, dm.QdmStatistics})
        d->open();
    smp.QdmResults->close();
    for (Dataset *d : {smp.QdmResults, smp.QIsoSys, smp.QUR, smp.QModel})
        d->open();
    if (sender == SampleDataSender::ShowData)
        smp.QSysVarData->open();
    for (Dataset *d : valueQueries(smp))
        d->open();
}

void CloseSampleDataSets(TdmKVResults &dm, TdmSmp &smp, Interaction &ui)
{
    const auto closeAll = [&](const QList<Dataset *> &datasets, const QString &problem) {
        bool failed = false;
        for (Dataset *d : datasets) {
            try {
                d->close();
            } catch (const Error &) {
                failed = true;
            }
        }
        if (failed)
            ui.warning(problem);
    };
    closeAll(QList<Dataset *>{smp.QdmResults, smp.QIsoSys, smp.QUR, smp.QModel, smp.QSysVarData} +
                 valueQueries(smp),
             u"Problem closing a file in dmSmp"_s);
    closeAll({dm.Querydm, dm.QdmInit, dm.QdmSmp, dm.QdmStatistics}, u"Problem closing a file in dmKVResults"_s);
    dm.QdmSmp->setForwardOnly(true);
}

void BindRawDataPanel(TdmSmp &smp)
{
    for (Dataset *d : nameQueries(smp))
        d->open();
}

void UnbindRawDataPanel(TdmSmp &smp)
{
    for (Dataset *d : nameQueries(smp))
        d->close();
}

void ShowRawIsotopeData(TdmKVResults &dm, TdmSmp &smp)
{
    OpenSampleDataSets(dm, smp, SampleDataSender::ShowData);
    BindRawDataPanel(smp);
}

RawDataPanel readRawDataPanel(TdmKVResults &dm, TdmSmp &smp)
{
    ShowRawIsotopeData(dm, smp);
    RawDataPanel panel;
    const auto text = [](Dataset *d, const QString &field) {
        return d->isOpen() && !d->isEmpty() ? d->value(field).toString() : QString();
    };
    panel.systemName = text(smp.QIsoSys, u"IsoSystemName"_s);
    panel.XX = text(smp.QSysVarData, u"XX"_s);
    panel.YY = text(smp.QSysVarData, u"YY"_s);
    const QList<Dataset *> values = valueQueries(smp), names = nameQueries(smp);
    Dataset &samples = *dm.QdmSmp;
    for (samples.first(); !samples.eof(); samples.next()) {
        RawDataSample s;
        s.SampleNo = samples.value(u"SampleNo"_s).toString();
        s.Frac = samples.value(u"Frac"_s).toString();
        s.Included = samples.value(u"Included"_s).toString();
        for (qsizetype i = 0; i < values.size(); ++i) {
            Dataset *v = values[i];
            const bool has = v->isOpen() && !v->isEmpty();
            s.rows << RawDataRow{rawDataRoles()[i], text(names[i], u"VariableName"_s),
                                 has ? v->value(u"DataValue"_s) : QVariant(),
                                 has ? v->value(u"NormalisingFactor"_s) : QVariant()};
        }
        panel.samples << s;
    }
    return panel;
}

} // namespace kv
