// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/record_commands.h"

#include "core/interaction.h"
#include "data/dmKV.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QSqlQuery>
#include <cfenv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// How often a new record tries the next number when other users keep taking it.
constexpr int kNumberAttempts = 20;

// Runs a step whose failure the command ignores; each caller says why in its comment.
void ignoreErrors(const std::function<void()> &step)
{
    try {
        step();
    } catch (const Error &) {
    }
}

int currentRecordID(TdmKVResults &dm)
{
    if (dm.QResults->isOpen() && !dm.QResults->isEmpty())
        return dm.QResults->value(u"RecordID"_s).toInt();
    if (dm.Query1->isOpen() && !dm.Query1->isEmpty())
        return dm.Query1->value(u"RecordID"_s).toInt();
    return 0;
}

// The record view re-reads what is stored, so that it never shows a row that is not.
void refreshRecordView(TdmKVResults &dm)
{
    if (dm.Query1->isOpen())
        dm.Query1->refresh();
}

QString calculatedFieldOf(const QString &storedField)
{
    return storedField.mid(1); // IAge -> Age, IAgePError -> AgePError
}

std::optional<double> numberOf(const QString &text)
{
    bool ok = false;
    const QString t = text.trimmed();
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Inserts a secondary row of a new record; its failure is no reason to stop.
bool insertQuietly(Connection &c, const QString &sql, const QVariantList &values)
{
    try {
        c.exec(sql, values);
        return true;
    } catch (const Error &) {
        return false;
    }
}

// Posts the IsoResults row being inserted. When another user took its RecordID meanwhile (the key
// refuses the second), the row is inserted again under the next free number.
bool postNewRow(TdmKVResults &dm)
{
    Dataset &d = *dm.IsoResults;
    QHash<QString, QVariant> values;
    for (const QString &field : d.fieldNames())
        values.insert(field, d.value(field));
    for (int attempt = 0;; ++attempt) {
        try {
            return d.post();
        } catch (const DatabaseError &e) {
            if (e.code() != KeyViolation || attempt >= kNumberAttempts)
                throw;
        }
        // The handler has discarded the pending row: start it again under the next number.
        if (d.state() != Dataset::State::Browse)
            d.cancel();
        d.insert();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            if (it.key().compare(u"Age"_s, Qt::CaseInsensitive) != 0 &&
                it.key().compare(u"AgePError"_s, Qt::CaseInsensitive) != 0 &&
                it.key().compare(u"AgeMError"_s, Qt::CaseInsensitive) != 0)
                d.setValue(it.key(), it.value());
        d.setValue(u"RecordID"_s, nextRecordID(dm));
    }
}

void openIsoResultsFrom(TdmKVResults &dm, int recordID)
{
    dm.IsoResults->close();
    dm.IsoResults->setSql(
        {u"select * from ISORGR30"_s, u"where ISORGR30.RecordID >= "_s + QString::number(recordID)});
    dm.IsoResults->prepare();
    dm.IsoResults->open();
}

} // namespace

int nextRecordID(TdmKVResults &dm)
{
    QSqlQuery q = dm.KVResults.exec(u"select max(RecordID) from IsoRgr30"_s);
    return (q.next() && !q.value(0).isNull() ? q.value(0).toInt() : 0) + 1;
}

void showNextRecordID(TdmKVResults &dm, Interaction &ui)
{
    ui.information(u"Next available RecordID is "_s + QString::number(nextRecordID(dm)));
}

int startNewRecord(TdmKVResults &dm)
{
    const int id = nextRecordID(dm);
    openIsoResultsFrom(dm, id);
    // Errors while inserting the started row are ignored: the dialog's OK reports a row it cannot store.
    ignoreErrors([&] {
        Dataset &d = *dm.IsoResults;
        d.insert();
        const NewRecordValues defaults;
        d.setValue(u"RecordID"_s, id);
        d.setValue(u"CountryAbr"_s, defaults.CountryAbr);
        d.setValue(u"UnitName"_s, defaults.UnitName);
        d.setValue(u"MaterialAbr"_s, defaults.MaterialAbr);
        d.setValue(u"IsotopeSystem"_s, defaults.IsotopeSystem);
        d.setValue(u"ApproachAbr"_s, defaults.ApproachAbr);
        d.setValue(u"TechAbr"_s, defaults.TechAbr);
        d.setValue(u"InterpAbr"_s, defaults.InterpAbr);
        d.setValue(u"PrefLevel"_s, defaults.PrefLevel);
        d.setValue(u"IAge"_s, 0);
        d.setValue(u"Lithology"_s, defaults.Lithology);
        d.setValue(u"MethodAbr"_s, defaults.MethodAbr);
        d.setValue(u"Confidential"_s, 0);
        d.setValue(u"AgeUnits"_s, defaults.AgeUnits);
    });
    return id;
}

DialogDecayConstants decayConstantsOf(TdmKVResults &dm, const QString &isotopeSystem)
{
    DialogDecayConstants c;
    QSqlQuery q = dm.KVResults.exec(u"select DecayConst1, DecayConst2 from IsoSystem where IsoSystem = ?"_s,
                                    {isotopeSystem});
    if (q.next()) {
        c.DecayConst1 = q.value(0).toDouble();
        c.DecayConst2 = q.value(1).toDouble();
    }
    return c;
}

std::optional<int> thousandthsOf(const QString &text)
{
    const auto v = numberOf(text);
    if (!v)
        return std::nullopt;
    if (std::fabs(*v) > 2.0e6)
        throw InputError(u"%1 Ma is out of range for a date."_s.arg(text.trimmed()));
    return roundToThousandths(*v);
}

bool acceptNewRecord(TdmKVResults &dm, Interaction &ui, const NewRecordValues &values,
                     const DialogDecayConstants &constants)
{
    Dataset &d = *dm.IsoResults;
    try {
        if (!d.isOpen() || d.state() != Dataset::State::Insert)
            throw Error(u"No new record has been started."_s);
        d.setValue(u"CountryAbr"_s, values.CountryAbr);
        d.setValue(u"UnitName"_s, values.UnitName);
        d.setValue(u"Lithology"_s, values.Lithology);
        d.setValue(u"MaterialAbr"_s, values.MaterialAbr);
        d.setValue(u"IsotopeSystem"_s, values.IsotopeSystem);
        d.setValue(u"ApproachAbr"_s, values.ApproachAbr);
        d.setValue(u"TechAbr"_s, values.TechAbr);
        d.setValue(u"MethodAbr"_s, values.MethodAbr);
        d.setValue(u"InterpAbr"_s, values.InterpAbr);
        d.setValue(u"PrefLevel"_s, values.PrefLevel);
        d.setValue(u"AgeUnits"_s, values.AgeUnits);
        const QList<std::pair<QString, QString>> ages{
            {u"IAge"_s, values.date}, {u"IAgePError"_s, values.plus}, {u"IAgeMError"_s, values.minus}};
        bool converted = true;
        for (const auto &[field, text] : ages) {
            try {
                if (const auto v = thousandthsOf(text))
                    d.setValue(field, *v);
            } catch (const InputError &) {
                converted = false; // the field keeps its value; the others are still taken
            }
        }
        if (!converted)
            ui.warning(u"Problem converting age to integer*1000"_s);
        if (values.defaultDecayConstants) {
            d.setValue(u"DecayConst1"_s, constants.DecayConst1);
            d.setValue(u"DecayConst2"_s, constants.DecayConst2);
            d.setValue(u"SigmaPercentDC1"_s, constants.Sigma1);
            d.setValue(u"SigmaPercentDC2"_s, constants.Sigma2);
        }
    } catch (const Error &) {
        ui.warning(u"Problem converting age to integer*1000"_s);
    }
    bool stored = false;
    try {
        stored = d.isOpen() && d.state() == Dataset::State::Insert && postNewRow(dm);
    } catch (const Error &) {
        stored = false;
    }
    if (!stored) {
        ui.warning(u"Error inserting new record"_s);
        ignoreErrors([&] { d.cancel(); }); // discarding the refused row: its errors are ignored
        return false;
    }
    const int id = d.value(u"RecordID"_s).toInt();
    QVariant number;
    // The reference link is a secondary row: its errors are ignored, as those of its insert below.
    ignoreErrors([&] {
        QSqlQuery q =
            dm.KVResults.exec(u"select SourceNum from SourceListA where SourceID = ?"_s, {values.reference});
        if (q.next())
            number = q.value(0);
    });
    insertQuietly(
        dm.KVResults,
        u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) values ('A', ?, ?, ?)"_s,
        {id, number, values.reference});
    return true;
}

void cancelNewRecord(TdmKVResults &dm)
{
    dm.IsoResults->cancel();
}

int finishNewRecord(TdmKVResults &dm, bool accepted, bool failed)
{
    int id = 0;
    if (accepted && !failed && dm.IsoResults->isOpen() && !dm.IsoResults->isEmpty()) {
        id = dm.IsoResults->value(u"RecordID"_s).toInt();
        Connection &c = dm.KVResults;
        insertQuietly(c, u"insert into GroupingList (Grouping) values ('NEW')"_s, {});
        insertQuietly(c, u"insert into Grouping (RecordID, Grouping) values (?, 'NEW')"_s, {id});
        // The dialog has linked its reference already; "not defined" twice would be one row doubled.
        QSqlQuery q;
        bool linked = false;
        // Part of the secondary reference row, whose errors are ignored.
        ignoreErrors([&] {
            q = c.exec(u"select count(*) from SourceA where RecordID = ? and SourceID = 'not defined'"_s,
                       {id});
            linked = q.next() && q.value(0).toInt() > 0;
        });
        if (!linked)
            insertQuietly(c,
                          u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) "
                          u"values ('A', ?, 416, 'not defined')"_s,
                          {id});
        insertQuietly(c, u"insert into IsoLab (LaboratoryAbr, RecordID) values ('nd', ?)"_s, {id});
        if (dm.GroupLst->isOpen())
            dm.GroupLst->refresh();
    }
    dm.IsoResults->cancel();
    dm.IsoResults->close();
    refreshRecordView(dm);
    return id;
}

int newRecord(TdmKVResults &dm, Interaction &ui, const NewRecordValues &values, bool accepted)
{
    startNewRecord(dm);
    bool failed = false;
    if (accepted)
        failed = !acceptNewRecord(dm, ui, values, decayConstantsOf(dm, values.IsotopeSystem));
    else
        cancelNewRecord(dm);
    return finishNewRecord(dm, accepted, failed);
}

bool deleteRecord(TdmKVResults &dm, Interaction &ui)
{
    if (!dm.QResults->isOpen() || dm.QResults->isEmpty()) {
        ui.information(u"There is no record to delete."_s);
        return false;
    }
    if (ui.askYesCancel(u"Are you sure you want to delete this record?"_s) != Interaction::Answer::Yes)
        return false;
    const int id = dm.QResults->value(u"RecordID"_s).toInt();
    const QVariant system = dm.QResults->value(u"IsotopeSystem"_s);
    Connection &c = dm.KVResults;
    try {
        // All or nothing: a record is never left without the details it had, nor details without it.
        // Open cursors let go first, so that the transaction writes on the database as it is now.
        c.releaseReaders();
        Transaction transaction(c);
        c.exec(u"delete from SmpReg where RecordID = ? and IsoSystem = ?"_s, {id, system});
        for (const QString &table :
             {u"Grouping"_s, u"Province"_s, u"Terrane"_s, u"IsoOrogenic"_s, u"IsoChemType"_s, u"SourceA"_s,
              u"IsoOther"_s, u"IsoInit"_s, u"IsoStatistics"_s, u"IsoLab"_s,
              // images and who-for rows too: the next new record takes this RecordID again, and
              // would show them as its own
              u"IsoImages"_s, u"IsoFor"_s})
            c.exec(u"delete from %1 where RecordID = ?"_s.arg(table), {id});
        // The record as it was read: one another user changed meanwhile is not deleted.
        dm.QResults->remove();
        transaction.commit();
    } catch (const DatabaseError &e) {
        ui.error(writeFailureText(u"The record %1 was not deleted"_s.arg(id), e));
        ignoreErrors([&] { refreshRecordView(dm); }); // deleting ignores errors of the refresh
        return false;
    } catch (const Error &e) {
        ui.error(e.message());
        ignoreErrors([&] { refreshRecordView(dm); }); // deleting ignores errors of the refresh
        return false;
    }
    ignoreErrors([&] { refreshRecordView(dm); }); // deleting ignores errors of the refresh
    return true;
}

int newEquivalentTDM(TdmKVResults &dm, Interaction &ui)
{
    if (!dm.QResults->isOpen() || dm.QResults->isEmpty())
        throw InputError(u"There is no record to copy."_s);
    Dataset &r = *dm.QResults;
    const QStringList copied{u"CountryAbr"_s, u"UnitName"_s,    u"Lithology"_s,
                             u"MethodAbr"_s,  u"MaterialAbr"_s, u"AgeUnits"_s};
    QHash<QString, QVariant> record;
    for (const QString &field : copied)
        record.insert(field, r.value(field));

    struct Reference
    {
        QVariant type, number, id;
        bool operator==(const Reference &o) const { return type == o.type && id == o.id; }
    };
    QList<Reference> references;
    if (dm.QRef->isOpen() && !dm.QRef->isEmpty()) {
        const auto read = [&] {
            return Reference{dm.QRef->value(u"SourceTypeID"_s), dm.QRef->value(u"SourceNum"_s),
                             dm.QRef->value(u"SourceID"_s)};
        };
        references << read();
        if (references.first().type.toString() == u"A"_s) {
            dm.QRef->next();
            // With one reference the next row is the same one: it is copied once.
            const Reference second = read();
            if (!(second == references.first()))
                references << second;
        }
    }
    QVariant laboratory;
    if (dm.QLab->isOpen() && !dm.QLab->isEmpty())
        laboratory = dm.QLab->value(u"LaboratoryAbr"_s);
    // The current row and the next two; at the end the last row repeats and is dropped as a repeat.
    const auto threeOf = [](Dataset &d, const QString &field) {
        QStringList kept;
        if (!d.isOpen() || d.isEmpty())
            return kept;
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                d.next();
            const QString v = d.text(field);
            if (!v.isEmpty() && !kept.contains(v))
                kept << v;
        }
        return kept;
    };
    const QStringList provinces = threeOf(*dm.Province, u"Province"_s);
    const QStringList terranes = threeOf(*dm.Terrane, u"Terrane"_s);

    int id = nextRecordID(dm);
    openIsoResultsFrom(dm, id);
    try {
        Dataset &d = *dm.IsoResults;
        d.insert();
        d.setValue(u"RecordID"_s, id);
        for (const QString &field : copied)
            d.setValue(field, record.value(field));
        d.setValue(u"IsotopeSystem"_s, u"SmNd"_s);
        d.setValue(u"ApproachAbr"_s, u"DM"_s);
        d.setValue(u"TechAbr"_s, u"TIMS"_s);
        d.setValue(u"InterpAbr"_s, u"CrsRs"_s);
        d.setValue(u"PrefLevel"_s, 1);
        d.setValue(u"IAge"_s, 1000);
        d.setValue(u"IAgePError"_s, 1000);
        d.setValue(u"IAgeMError"_s, 1000);
        d.setValue(u"Confidential"_s, 0);
        if (!postNewRow(dm))
            throw Error(u"not stored"_s);
        id = d.value(u"RecordID"_s).toInt();
    } catch (const Error &) {
        // The refused row is reported below and the command goes on: discarding it ignores errors.
        ignoreErrors([&] { dm.IsoResults->cancel(); });
        ui.warning(u"Unable to insert T(DM) record "_s + QString::number(id));
    }
    Connection &c = dm.KVResults;
    const QString insertRef =
        u"insert into SourceA (SourceTypeID, RecordID, SourceNum, SourceID) values (?, ?, ?, ?)"_s;
    for (int i = 0; i < references.size(); ++i) {
        const Reference &ref = references[i];
        if (!insertQuietly(c, insertRef, {ref.type, id, ref.number, ref.id}) && i == 0)
            ui.warning(u"Unable to copy reference details"_s);
    }
    if (!laboratory.isNull() &&
        !insertQuietly(c, u"insert into IsoLab (LaboratoryAbr, RecordID) values (?, ?)"_s, {laboratory, id}))
        ui.warning(u"Unable to copy laboratory details"_s);
    for (const QString &province : provinces)
        if (!insertQuietly(c, u"insert into Province (RecordID, Province) values (?, ?)"_s, {id, province})) {
            ui.warning(u"Unable to copy province details"_s);
            break;
        }
    for (const QString &terrane : terranes)
        if (!insertQuietly(c, u"insert into Terrane (RecordID, Terrane) values (?, ?)"_s, {id, terrane})) {
            ui.warning(u"Unable to copy terrane details"_s);
            break;
        }
    dm.IsoResults->close();
    ui.information(u"Record added"_s);
    refreshRecordView(dm);
    return id;
}

bool applyGroupDescriptor(TdmKVResults &dm, Interaction &ui, const QString &grouping)
{
    const QString text = grouping.trimmed();
    if (text.isEmpty()) {
        ui.warning(u"Type the group descriptor to apply in the box beside the button."_s);
        return false;
    }
    if (!dm.Query1->isOpen() || dm.Query1->isEmpty()) {
        ui.warning(u"There is no record to apply the group descriptor to."_s);
        return false;
    }
    try {
        dm.QGrouping->insert();
        dm.QGrouping->setValue(u"RecordID"_s, dm.Query1->value(u"RecordID"_s));
        dm.QGrouping->setValue(u"Grouping"_s, text);
    } catch (const Error &e) {
        ui.error(e.message());
        return false;
    }
    return postReported(*dm.QGrouping, ui);
}

int roundToThousandths(double ma)
{
    // nearbyint rounds as the current mode says: to the nearest, ties to even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double v = std::nearbyint(ma * 1000.0);
    std::fesetround(saved);
    if (!std::isfinite(v) || std::fabs(v) > 2147483647.0)
        throw InputError(u"%1 Ma is out of range for a date."_s.arg(ma));
    return int(v);
}

namespace {

bool storeAge(TdmKVResults &dm, Interaction &ui, const QString &storedField, double ma)
{
    Dataset &r = *dm.QResults;
    try {
        const int thousandths = roundToThousandths(ma);
        r.edit();
        r.setValue(storedField, thousandths);
    } catch (const Error &e) {
        ignoreErrors([&] { r.cancel(); }); // leaving an age box ignores errors; the value is refused
        ui.warning(e.message());
        return false;
    }
    return postReported(r, ui);
}

} // namespace

bool ageBoxLeft(TdmKVResults &dm, Interaction &ui, const QString &storedField, const QString &text)
{
    Dataset &r = *dm.QResults;
    if (!r.isOpen() || r.isEmpty())
        return false;
    // Passing through the box keeps the stored thousandths: only a changed value is written.
    if (text.trimmed() == r.displayText(calculatedFieldOf(storedField)).trimmed())
        return false;
    const auto v = numberOf(text);
    if (!v) {
        ui.warning(u"'%1' is not a number; the date was not changed."_s.arg(text.trimmed()));
        return false;
    }
    return storeAge(dm, ui, storedField, *v);
}

bool ageBoxDoubleClicked(TdmKVResults &dm, Interaction &ui, const QString &storedField)
{
    Dataset &r = *dm.QResults;
    if (!r.isOpen() || r.isEmpty())
        return false;
    const QString prompt = storedField == u"IAgePError"_s   ? u"Enter modified +95% date uncertainty"_s
                           : storedField == u"IAgeMError"_s ? u"Enter modified -95% date uncertainty"_s
                                                            : u"Enter modified date "_s;
    const QString shown = r.displayText(calculatedFieldOf(storedField));
    const auto answer = ui.inputText(u"Date modification"_s, prompt, shown);
    // Cancel keeps the stored value with all its decimals.
    if (!answer || answer->trimmed() == shown.trimmed())
        return false;
    const auto v = numberOf(*answer);
    if (!v) {
        ui.warning(u"'%1' is not a number; the date was not changed."_s.arg(answer->trimmed()));
        return false;
    }
    return storeAge(dm, ui, storedField, *v);
}

void importImage(TdmKVResults &dm, const QString &path)
{
    // The picture goes to the row the user stands on: a new row that cannot be stored gets none,
    // rather than a row of the same key stored before.
    Dataset &images = *dm.QImages;
    if (images.isOpen() && images.state() != Dataset::State::Browse && !images.post())
        throw InputError(u"The image row could not be stored, so its picture was not imported."_s);
    if (!images.isOpen() || images.isEmpty())
        throw InputError(u"Add an image row to the record before importing its picture."_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(u"Cannot read the picture file %1: %2"_s.arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    const QString suffix = QFileInfo(path).suffix().toLower();
    // Metafiles are kept as they are; Qt cannot draw them, but they stay the record's own.
    const bool metafile = suffix == u"wmf"_s || suffix == u"emf"_s;
    if (bytes.isEmpty() || (!metafile && QImage::fromData(bytes).isNull()))
        throw FileError(u"%1 is not a picture Kelvora can read (JPEG, PNG, TIFF, BMP or icon)."_s.arg(path));
    // Type and number tell a record's images apart: a row that shares them with another cannot be
    // written alone, so it is refused before anything is written.
    const QVariantList key{images.value(u"RecordID"_s), images.value(u"ImageTypeID"_s),
                           images.value(u"ImageID"_s)};
    QSqlQuery same = dm.KVResults.exec(
        u"select count(*) from IsoImages where RecordID = ? and ImageTypeID = ? and ImageID = ?"_s, key);
    if (same.next() && same.value(0).toInt() > 1)
        throw InputError(
            u"Another image of this record has the type %1 and the number %2: give this one a "
            u"number of its own before you import its picture."_s.arg(key[1].toString(), key[2].toString()));
    QSqlQuery q = dm.KVResults.exec(
        u"update IsoImages set Graphic = ? where RecordID = ? and ImageTypeID = ? and ImageID = ?"_s,
        {bytes, images.value(u"RecordID"_s), images.value(u"ImageTypeID"_s), images.value(u"ImageID"_s)});
    if (q.numRowsAffected() == 0)
        throw DatabaseError(u"The image row was changed or deleted by another user since it was read."_s,
                            RecordChanged);
}

QByteArray selectedImage(TdmKVResults &dm)
{
    ignoreErrors([&] { dm.QImages->post(); }); // the image row is posted first, errors ignored
    dm.QImageSelected->close();
    if (!dm.QImages->isOpen() || dm.QImages->isEmpty())
        return {};
    dm.QImageSelected->open();
    if (dm.QImageSelected->isEmpty())
        return {};
    return dm.QImageSelected->value(u"Graphic"_s).toByteArray();
}

QString writeFailureText(const QString &what, const DatabaseError &error)
{
    switch (error.code()) {
    case RecordChanged:
        return what + u": another user changed or deleted this record after it was shown to you. Your change "
                      u"was not saved, so theirs stands; the record is now shown as it is stored."_s;
    case KeyViolation:
        return what + u": a row with the same identifying values is already stored."_s;
    default:
        return what + u": "_s + error.message();
    }
}

bool postReported(Dataset &dataset, Interaction &ui)
{
    try {
        return dataset.post();
    } catch (const DatabaseError &e) {
        ui.warning(writeFailureText(u"The change was not saved"_s, e));
        if (e.code() == RecordChanged) {
            dataset.cancel();
            dataset.refresh();
        }
    } catch (const Error &e) {
        ui.warning(e.message());
    }
    return false;
}

bool postRecord(TdmKVResults &dm, Interaction &ui)
{
    Dataset &r = *dm.QResults;
    if (!r.isOpen() || r.isEmpty())
        return false;
    try {
        if (r.state() == Dataset::State::Browse)
            r.edit();
        r.setValue(u"DateString"_s, QDate::currentDate());
    } catch (const Error &e) {
        ui.warning(e.message());
        return false;
    }
    return postReported(r, ui);
}

bool hasPendingEdits(const TdmKVResults &dm)
{
    for (const Dataset *d : dm.datasets())
        if (d->state() == Dataset::State::Edit || d->state() == Dataset::State::Insert)
            return true;
    return false;
}

bool postPendingEdits(TdmKVResults &dm, Interaction &ui)
{
    for (Dataset *d : dm.datasets()) {
        if (d->state() != Dataset::State::Edit && d->state() != Dataset::State::Insert)
            continue;
        if (!(d == dm.QResults ? postRecord(dm, ui) : postReported(*d, ui)))
            return false;
    }
    return true;
}

void setDetailDefaults(TdmKVResults &dm, Dataset &detail)
{
    if (detail.state() != Dataset::State::Insert)
        return;
    detail.setValue(u"RecordID"_s, currentRecordID(dm));
    if (&detail == dm.QSmpReg) {
        detail.setValue(u"IsoSystem"_s, dm.QResults->value(u"IsotopeSystem"_s));
        detail.setValue(u"SampleNo"_s, u"NEW"_s);
    } else if (&detail == dm.QGrouping) {
        detail.setValue(u"Grouping"_s, u"NEW"_s);
    } else if (&detail == dm.QRef) {
        detail.setValue(u"SourceTypeID"_s, u"A"_s);
        detail.setValue(u"SourceID"_s, u"not defined"_s);
        detail.setValue(u"SourceNum"_s, 416);
    } else if (&detail == dm.QImages) {
        // Images of a record are told apart by their type and number: a new one takes the next number.
        QSqlQuery q = dm.KVResults.exec(
            u"select max(ImageID) from IsoImages where RecordID = ? and ImageTypeID = 'N'"_s,
            {currentRecordID(dm)});
        detail.setValue(u"ImageTypeID"_s, u"N"_s);
        detail.setValue(u"ImageID"_s, (q.next() && !q.value(0).isNull() ? q.value(0).toInt() : 0) + 1);
    }
}

bool detailHasRows(const Dataset &detail)
{
    if (!detail.isOpen())
        return false;
    if (detail.state() == Dataset::State::Insert)
        return true;
    return !detail.isEmpty() && detail.value(u"RecordID"_s).toInt() > 0;
}

} // namespace kv
