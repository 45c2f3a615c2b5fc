// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dmSmpData.h"

#include "data/dmKV.h"

using namespace Qt::StringLiterals;

namespace kv {

TdmSmp::TdmSmp(TdmKVResults &results, QObject *parent) : QObject(parent), m_results(results)
{
    Dataset *querydm = results.Querydm;
    QdmResults = make(u"QdmResults"_s, {u"select * from IsoRgr30"_s, u"where RecordID = :RecordID"_s}, querydm, true);
    QUR = make(u"QUR"_s, {u"select * from IsoUR"_s, u"where IsoSystem = :IsotopeSystem"_s}, querydm);
    QSysVarData = make(u"QSysVarData"_s,
                       {u"select * from SysVarData"_s, u"where IsoSystem = :IsotopeSystem"_s,
                        u"and ApproachAbr = :ApproachAbr"_s},
                       querydm);
    QModel = make(u"QModel"_s,
                  {u"select * from IsoModels"_s, u"where IsoSystem = :IsotopeSystem"_s,
                   u"and ModelID = :ApproachAbr"_s},
                  querydm);
    QIsoSys = make(u"QIsoSys"_s,
                   {u"select IsoSystem,IsoSystemName, DecayConst1, DecayConst2"_s, u"from IsoSystem"_s,
                    u"where IsoSystem = :IsotopeSystem"_s},
                   querydm);
    for (const QString &field : {u"URparam1"_s, u"URparam2"_s, u"URparam3"_s})
        QUR->setDisplayFormat(field, u"0.00000e+00"_s);
    for (const QString &field : {u"DecayConst1"_s, u"DecayConst2"_s})
        QIsoSys->setDisplayFormat(field, u"0.00000e+00"_s);

    // The sample's value of one role, through the SysVarData row of the record's own isotope system
    // and approach: a variable that takes another role elsewhere is not picked, and no other sample or
    // record is scanned.
    const auto sampleValue = [](const QString &role) {
        return QStringList{u"select SmpData.SampleNo, SmpData.Frac, SmpData.IsoSystem, SmpData.DataValue, "
                           u"SmpData.NormalisingFactor"_s,
                           u"from IsoRgr30, SysVarData, SmpData"_s,
                           u"where IsoRgr30.RecordID = :RecordID"_s,
                           u"and SysVarData.IsoSystem = IsoRgr30.IsotopeSystem"_s,
                           u"and SysVarData.ApproachAbr = IsoRgr30.ApproachAbr"_s,
                           u"and SmpData.IsoSystem = :IsoSystem"_s,
                           u"and SmpData.SampleNo = :SampleNo"_s,
                           u"and SmpData.Frac = :Frac"_s,
                           u"and SmpData.VariableID = SysVarData."_s + role};
    };
    const auto variableName = [](const QString &role) {
        return QStringList{u"select * from VarVar"_s, u"where VariableID = :"_s + role};
    };
    Dataset *sample = results.QdmSmp;
    QX = make(u"QX"_s, sampleValue(u"X"_s), sample);
    QY = make(u"QY"_s, sampleValue(u"Y"_s), sample);
    QXerr = make(u"QXerr"_s, sampleValue(u"Xerr"_s), sample);
    QYerr = make(u"QYerr"_s, sampleValue(u"Yerr"_s), sample);
    QXerrt = make(u"QXerrt"_s, sampleValue(u"Xerrt"_s), sample);
    QYerrt = make(u"QYerrt"_s, sampleValue(u"Yerrt"_s), sample);
    QR = make(u"QR"_s, sampleValue(u"R"_s), sample);
    QXname = make(u"QXname"_s, variableName(u"X"_s), QSysVarData);
    QYname = make(u"QYname"_s, variableName(u"Y"_s), QSysVarData);
    QXerrname = make(u"QXerrname"_s, variableName(u"Xerr"_s), QSysVarData);
    QYerrname = make(u"QYerrname"_s, variableName(u"Yerr"_s), QSysVarData);
    QXerrtname = make(u"QXerrtname"_s, variableName(u"Xerrt"_s), QSysVarData);
    QYerrtname = make(u"QYerrtname"_s, variableName(u"Yerrt"_s), QSysVarData);
    QRname = make(u"QRname"_s, variableName(u"R"_s), QSysVarData);
}

TdmSmp::~TdmSmp()
{
    closeAll();
    qDeleteAll(m_datasets);
    m_datasets.clear();
}

Dataset *TdmSmp::make(const QString &name, const QStringList &sql, Dataset *master, bool live)
{
    auto *dataset = new Dataset(name, &m_results.KVResults, this);
    dataset->setSql(sql);
    dataset->setLive(live);
    dataset->setForwardOnly(!live);
    dataset->setMaster(master);
    applyDisplayFormats(*dataset);
    m_datasets << dataset;
    return dataset;
}

void TdmSmp::closeAll()
{
    for (auto it = m_datasets.crbegin(); it != m_datasets.crend(); ++it)
        (*it)->close();
}

} // namespace kv
