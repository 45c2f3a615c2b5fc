// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_statistics.h"

#include "controls/ui/data_aware.h"
#include "data/dmKV.h"
#include "main/ui/record_view.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageStatistics::PageStatistics(RecordView &view, QWidget *parent) : QWidget(parent)
{
    TdmKVResults &dm = view.dm();
    Dataset *s = dm.QStatistics;
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view.recordNavigator(this, Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                     Nav::Delete | Nav::Post));
    layout->addWidget(recordHeader(view, this, false));
    auto *columns = new QHBoxLayout;
    layout->addLayout(columns);
    QList<QWidget *> controls;
    const auto group = [&](const QString &title, const QList<std::pair<QString, QString>> &fields) {
        auto *box = panelBox(
            this, title,
            view.detailNavigator(this, s, Nav::Insert | Nav::Delete, RecordView::PanelKind::InsertOnly));
        auto *form = new QFormLayout;
        static_cast<QVBoxLayout *>(box->layout())->addLayout(form);
        for (const auto &[caption, field] : fields)
            controls << addField(view, form, caption, s, field);
        static_cast<QVBoxLayout *>(box->layout())->addStretch();
        columns->addWidget(box);
    };
    group(u"Regression"_s, {{u"MSWD"_s, u"MSWD"_s},
                            {u"F (alpha) cut-off"_s, u"FCutoff"_s},
                            {u"Significance level alpha"_s, u"Alpha"_s},
                            {u"Degrees of freedom"_s, u"DegFreedom"_s},
                            {u"Points regressed"_s, u"NReg"_s},
                            {u"Samples"_s, u"NSamples"_s},
                            {u"Replicates"_s, u"NReplicates"_s},
                            {u"Probability of fit (equivalence)"_s, u"ProbOfFit"_s},
                            {u"Probability of concordance"_s, u"ProbOfConcordance"_s},
                            {u"Discord. factor"_s, u"Ludwigp"_s},
                            {u"Augmentation"_s, u"Augmentation"_s},
                            {u"Regression software"_s, u"ProgName"_s}});
    group(u"Centroids"_s, {{u"X centroid"_s, u"XCentroid"_s},
                           {u"Y centroid"_s, u"YCentroid"_s},
                           {u"Z centroid"_s, u"ZCentroid"_s}});
    group(u"Constraints"_s, {{u"Constrained through    X "_s, u"XConstrain"_s},
                             {u"Y "_s, u"YConstrain"_s},
                             {u"Z"_s, u"ZConstrain"_s},
                             {u"= Age (Ma)"_s, u"AgeConstrain"_s},
                             {u"Constraints"_s, u"Constraints"_s}});
    auto *regressedBy = new QFormLayout;
    controls << addField(view, regressedBy, u"Regressed by"_s, dm.QResults, u"RegisteredUser"_s);
    layout->addLayout(regressedBy);
    view.addPanelControls(s, controls);
    layout->addStretch();
}

} // namespace kv
