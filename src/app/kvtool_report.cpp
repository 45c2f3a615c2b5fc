// SPDX-License-Identifier: GPL-3.0-or-later
// kvtool report summary: runs a query and writes its summary report as a PDF file, as the report
// launcher's preview saves it.
#include "app/kvtool.h"
#include "app/kvtool_query_options.h"
#include "data/dmKV.h"
#include "main/query_command.h"
#include "reports/KV_rp_Summary.h"

using namespace Qt::StringLiterals;

namespace {

int reportSummary(kv::tool::Context &c)
{
    kv::tool::QueryOptions options = kv::tool::QueryOptions::take(c);
    const QString pdf = c.option(u"pdf"_s);
    c.expectNoMoreArgs();
    if (pdf.isEmpty())
        throw kv::InputError(u"--pdf OUT names the file to write."_s);

    kv::TdmKVResults dm(c.ui);
    kv::QueryCommand command(dm, c.ui);
    if (!options.run(c, dm, command))
        return 1;
    c.out << "# records = " << command.recordCountText() << '\n';
    const kv::ReportDatasets datasets(dm);
    kv::TfmReportSummary form(dm);
    const int pages = kv::report::writePdf(form.report(), pdf);
    c.out << "# pages = " << pages << '\n';
    return 0;
}

kv::tool::Verb reportSummaryVerb("report summary", KV_QUERY_OPTIONS_USAGE " --pdf OUT", &reportSummary);

} // namespace
