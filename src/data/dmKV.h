// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/connection.h"
#include "data/dataset.h"

#include <QList>
#include <QObject>

namespace kv {

class Interaction;

/// The results data module: the two connections and every dataset the viewer's windows share.
/// Dataset members carry the names the windows and commands know them by.
class TdmKVResults : public QObject
{
    Q_OBJECT

public:
    explicit TdmKVResults(Interaction &ui, QObject *parent = nullptr);
    ~TdmKVResults() override;

    Interaction &ui() const { return m_ui; }

    Connection KVResults{QStringLiteral("KVResults")};
    Connection KVtmp{QStringLiteral("KVtmp")};

    // Whole tables of the results database
    Dataset *Country, *CountryList, *Suite, *SuiteList, *Lithology, *Interpretation, *Technique, *IsoSys, *SmpLoc,
        *PrefLevel, *Approach, *Material, *Methods, *SourceType, *Source, *SourceList, *ProvinceList, *TerraneList,
        *OrogenicPeriods, *ImageTypes, *ChemTypes, *AgeUnits, *Laboratories, *Boundary, *BlockingT, *SADCCtry,
        *GroupLst, *ForList;
    // Working tables
    Dataset *TempDataMap, *TempDataDI, *TempDataDG, *TempDataI, *TempDT, *ReferTo, *ImportDet;
    // The result set and the record shown
    Dataset *Query1, *QCount, *Querydm, *IsoResults, *MaxRecord, *QLastRecordID, *GroupingFree;
    // Details of Query1
    Dataset *QResults, *QStatistics, *QInit, *QOther, *QGrouping, *Province, *Terrane, *IsoOrogenic, *IsoChemType,
        *QRef, *QLab, *QImages, *QWhoFor, *QSmpReg, *QSmpLoc, *QBlockingT, *QRefDes, *QRefLookup, *QImageSelected,
        *QLocThisUnit, *SADCbound;
    // Details of Querydm and IsoResults
    Dataset *QdmInit, *QdmStatistics, *IsoImages, *QdmGrouping, *QdmProvince, *QdmTerrane, *QdmOrogenicPeriod,
        *QdmChemType, *QdmSource, *QdmSmp, *QdmSmpLoc, *QdmBlockingT, *Grouping;

    // Whether a working table still holds the current query's rows.
    bool MapDataCurrent = false;
    bool DateDataCurrent = false;
    bool GroupedDateDataCurrent = false;
    bool RatioDataCurrent = false;
    void clearCurrentDataFlags();

    /// Every dataset of the module, in the order they were made.
    const QList<Dataset *> &datasets() const { return m_datasets; }
    Dataset *dataset(const QString &name) const;
    void closeAll();
    /// Opens the shared datasets in the order the connections' definition opens them.
    void openShared();

private:
    Dataset *make(const QString &name, Connection &connection, const QStringList &sql, bool live,
                  Dataset *master = nullptr, bool forwardOnly = false);

    Interaction &m_ui;
    QList<Dataset *> m_datasets;
};

/// Adds the calculated Age, AgePError and AgeMError (the stored thousandths times 0.001).
void addAgeFields(Dataset &dataset);
/// Adds the calculated LatDir, LonDir and the degrees, minutes and seconds of a locality.
void addLocalityFields(Dataset &dataset);
/// Gives a dataset's fields the display formats the record view shows them with.
void applyDisplayFormats(Dataset &dataset);

} // namespace kv
