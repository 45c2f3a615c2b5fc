// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The records the report tests print.

#include "data/connection.h"

#include <QString>
#include <QVariant>

namespace kv::test {

// Three records with every lookup row their codes need:
// 71001 Bushveld Complex (ZAF), 2054.4 +1.3 -1.2 Ma, two U-Pb samples (one without locality) and a Rb-Sr
//       sample that belongs to another system, two sources, a comment;
// 71002 Kaap Valley Tonalite (ZAF), 3227.0 Ma, no samples, no sources, no comment;
// 71003 Gaborone Granite (BWA), 1500.5 Ma.
inline void fillReportFixture(Connection &c)
{
    using namespace Qt::StringLiterals;
    Transaction t(c);
    c.exec(u"insert into Country (CountryAbr, Country) values ('ZAF', 'South Africa'), ('BWA', 'Botswana')"_s);
    c.exec(u"insert into Suite (UnitName, CountryAbr) values ('Bushveld Complex', 'ZAF'), "
           u"('Kaap Valley Tonalite', 'ZAF'), ('Gaborone Granite', 'BWA')"_s);
    c.exec(u"insert into Lithol (Lithology) values ('granite')"_s);
    c.exec(u"insert into Material (MaterialAbr, MaterialDescription) values ('zr', 'zircon')"_s);
    c.exec(u"insert into Approach (ApproachAbr, ApproachDescription) values ('Conc', 'Concordia age')"_s);
    c.exec(u"insert into Interpretation (InterpAbr, Interpretation) values ('Empl', 'Magmatic crystallisation')"_s);
    c.exec(u"insert into IsoSystem (IsoSystem, IsoSystemName) values ('UPb', 'Uranium-lead')"_s);
    c.exec(u"insert into Technique (TechAbr, Technique) values ('SHRP', 'SHRIMP ion probe')"_s);
    c.exec(u"insert into Methods (MethodAbr, MethodName) values ('I', 'Ion probe')"_s);
    c.exec(u"insert into SourceType (SourceTypeID, SourceType) values ('A', 'Article'), ('T', 'Thesis')"_s);
    const QString insert =
        u"insert into IsoRgr30 (RecordID, CountryAbr, UnitName, IAge, IAgePError, IAgeMError, Comment, "
        u"DecayConst1, SigmaPercentDC1, DecayConst2, SigmaPercentDC2, Lithology, MaterialAbr, IsotopeSystem, "
        u"ApproachAbr, InterpAbr, TechAbr, MethodAbr, AgeUnits, PrefLevel) "
        u"values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'granite', 'zr', 'UPb', 'Conc', 'Empl', 'SHRP', 'I', 'Ma', 2)"_s;
    c.exec(insert, {71001, u"ZAF"_s, u"Bushveld Complex"_s, 2054400, 1300, 1200,
                    u"Emplacement of the Rustenburg Layered Suite."_s, 1.55125e-10, 0.107, 9.8485e-10, 0.136});
    c.exec(insert, {71002, u"ZAF"_s, u"Kaap Valley Tonalite"_s, 3227000, 1000, 1000, QVariant(), 1.55125e-10,
                    QVariant(), 0.0, QVariant()});
    c.exec(insert, {71003, u"BWA"_s, u"Gaborone Granite"_s, 1500500, 2100, 2100, QVariant(), QVariant(),
                    QVariant(), QVariant(), QVariant()});
    c.exec(u"insert into SmpReg (RecordID, IsoSystem, SampleNo, Frac, Included) values "
           u"(71001, 'UPb', 'BV-1', 'a', 'Y'), (71001, 'UPb', 'BV-2', 'b', 'N'), (71001, 'RbSr', 'BV-RB', '1', 'Y')"_s);
    c.exec(u"insert into SmpLoc (SampleNo, Latitude, Longitude, Elevation) values "
           u"('BV-1', -25.123456, 29.5, 1200), ('BV-RB', 1, 2, 3)"_s);
    c.exec(u"insert into SourceA (RecordID, SourceTypeID, SourceNum, SourceID) values "
           u"(71001, 'A', 1, 'Scoates and Friedman 2008'), (71001, 'T', 2, 'Walraven 1985 thesis')"_s);
    t.commit();
}

} // namespace kv::test
