// SPDX-License-Identifier: GPL-3.0-or-later
#include "query_fixture.h"

#include "data/connection.h"

using namespace Qt::StringLiterals;

namespace kv::test {

void insertQueryLookups(Connection &c)
{
    c.exec(u"insert into Lithol (Lithology) values ('granite')"_s);
    c.exec(
        u"insert into Material (MaterialAbr, MaterialDescription) values ('zr', 'zircon'), ('bt', 'biotite')"_s);
    c.exec(u"insert into Approach (ApproachAbr) values ('A')"_s);
    c.exec(u"insert into Interpretation (InterpAbr) values ('I')"_s);
    c.exec(u"insert into Technique (TechAbr) values ('T')"_s);
    c.exec(u"insert into Methods (MethodAbr) values ('M')"_s);
}

void insertQueryRecords(Connection &c, const QList<QueryRecord> &records)
{
    const QString insert =
        u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, MaterialAbr, IsotopeSystem, IAge, "
        u"PrefLevel, SigmaPercentDC1, DecayConst2, Lithology, ApproachAbr, InterpAbr, TechAbr, "
        u"MethodAbr, AgeUnits) values (?, ?, ?, ?, ?, ?, ?, ?, ?, 'granite', 'A', 'I', 'T', 'M', "
        u"'Ma')"_s;
    for (const QueryRecord &r : records)
        c.exec(insert, {r.id, r.country, r.unit, r.material, r.isotopeSystem, r.iAge, r.prefLevel,
                        r.sigmaPercentDC1, r.decayConst2});
}

} // namespace kv::test
