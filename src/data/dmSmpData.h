// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dataset.h"

#include <QObject>

namespace kv {

class TdmKVResults;

/// The sample data module: the datasets the recalculations read, following Querydm and QdmSmp of the
/// results data module.
class TdmSmp : public QObject
{
    Q_OBJECT

public:
    explicit TdmSmp(TdmKVResults &results, QObject *parent = nullptr);
    ~TdmSmp() override;

    Dataset *QdmResults, *QUR, *QSysVarData, *QModel, *QIsoSys;
    // The sample's value of each role of the raw-data panel, and the names of the role's variables.
    Dataset *QX, *QY, *QXerr, *QYerr, *QXerrt, *QYerrt, *QR;
    Dataset *QXname, *QYname, *QXerrname, *QYerrname, *QXerrtname, *QYerrtname, *QRname;

    const QList<Dataset *> &datasets() const { return m_datasets; }
    void closeAll();

private:
    Dataset *make(const QString &name, const QStringList &sql, Dataset *master, bool live = false);

    TdmKVResults &m_results;
    QList<Dataset *> m_datasets;
};

} // namespace kv
