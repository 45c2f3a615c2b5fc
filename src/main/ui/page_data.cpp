// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_data.h"

#include "controls/ui/data_aware.h"
#include "controls/ui/dataset_navigator.h"
#include "data/dmKV.h"
#include "data/dmSmpData.h"
#include "main/sample_datasets.h"
#include "main/ui/record_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

DbText *valueLabel(Interaction &ui, QWidget *parent, const QString &name)
{
    auto *t = new DbText(ui, parent);
    t->setObjectName(name);
    t->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    t->setMinimumWidth(120);
    return t;
}

} // namespace

PageData::PageData(RecordView &view, TdmSmp &smp, QWidget *parent) : QWidget(parent), m_smp(smp)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    QVBoxLayout *layout = recordPageLayout(view, this);
    bShowRawIsotopeData = new QPushButton(u"Show data"_s, this);
    bShowRawIsotopeData->setObjectName(u"bShowRawIsotopeData"_s);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(bShowRawIsotopeData);
    buttonRow->addStretch();
    layout->addLayout(buttonRow);

    Panel38 = new QWidget(this);
    Panel38->setObjectName(u"Panel38"_s);
    layout->addWidget(Panel38, 1);
    auto *columns = new QHBoxLayout(Panel38);

    auto *left = new QVBoxLayout;
    columns->addLayout(left);
    auto *navigator = new DatasetNavigator(ui, Panel38);
    navigator->setDataset(dm.QdmSmp);
    navigator->setVisibleButtons(DatasetNavigator::First | DatasetNavigator::Prior | DatasetNavigator::Next |
                                 DatasetNavigator::Last);
    left->addWidget(navigator);
    left->addWidget(datasetGrid(ui, Panel38, dm.QdmSmp, {u"SampleNo"_s, u"Frac"_s, u"Included"_s}), 1);

    auto *grid = new QGridLayout;
    columns->addLayout(grid, 1);
    dbtIsoSystemName = valueLabel(ui, Panel38, u"dbtIsoSystemName"_s);
    dbtXX = valueLabel(ui, Panel38, u"dbtXX"_s);
    dbtYY = valueLabel(ui, Panel38, u"dbtYY"_s);
    grid->addWidget(new QLabel(u"Isotope system"_s, Panel38), 0, 0);
    grid->addWidget(dbtIsoSystemName, 0, 1, 1, 2);
    grid->addWidget(new QLabel(u"X axis"_s, Panel38), 1, 0);
    grid->addWidget(dbtXX, 1, 1);
    grid->addWidget(new QLabel(u"Y axis"_s, Panel38), 2, 0);
    grid->addWidget(dbtYY, 2, 1);
    grid->addWidget(new QLabel(u"Value"_s, Panel38), 3, 1);
    grid->addWidget(new QLabel(u"Normalising factor"_s, Panel38), 3, 2);
    int row = 4;
    for (const QString &role : rawDataRoles()) {
        dbt << valueLabel(ui, Panel38, u"dbt"_s + role);
        dbe << valueLabel(ui, Panel38, u"dbe"_s + role);
        dbeN << valueLabel(ui, Panel38, u"dbeN"_s + role);
        grid->addWidget(dbt.last(), row, 0);
        grid->addWidget(dbe.last(), row, 1);
        grid->addWidget(dbeN.last(), row, 2);
        if (role.endsWith(u"errt"_s))
            grid->addWidget(new QLabel(u"(1 = %, 0 = a)"_s, Panel38), row, 3);
        ++row;
    }
    grid->setRowStretch(row, 1);
}

void PageData::bind()
{
    dbtIsoSystemName->setField(m_smp.QIsoSys, u"IsoSystemName"_s);
    dbtXX->setField(m_smp.QSysVarData, u"XX"_s);
    dbtYY->setField(m_smp.QSysVarData, u"YY"_s);
    const QList<Dataset *> names{m_smp.QXname, m_smp.QXerrname, m_smp.QXerrtname, m_smp.QYname,
                                 m_smp.QYerrname, m_smp.QYerrtname, m_smp.QRname};
    const QList<Dataset *> values{m_smp.QX, m_smp.QXerr, m_smp.QXerrt, m_smp.QY, m_smp.QYerr, m_smp.QYerrt, m_smp.QR};
    for (qsizetype i = 0; i < dbt.size(); ++i) {
        dbt[i]->setField(names[i], u"VariableName"_s);
        dbe[i]->setField(values[i], u"DataValue"_s);
        dbeN[i]->setField(values[i], u"NormalisingFactor"_s);
    }
}

void PageData::unbind()
{
    for (DbText *t : QList<DbText *>{dbtIsoSystemName, dbtXX, dbtYY} + dbt + dbe + dbeN) {
        t->setField(nullptr, QString());
        t->clear();
    }
}

} // namespace kv
