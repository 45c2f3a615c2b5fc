// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/gis_export.h"

#include "core/errors.h"
#include "data/dataset.h"
#include "data/dmKV.h"
#include "main/sample_localities.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QXmlStreamWriter>

#include <cmath>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace kv {

namespace {

// The record's fields that go with each of its localities, in the order the files list them.
struct Field
{
    QString name;   // in the file
    QString source; // in Query1's rows; empty for the sample's and the reference's own
    enum Kind
    {
        Integer,
        Real,
        Text
    } kind;
};

const QList<Field> &fields()
{
    static const QList<Field> list{
        {u"RecordID"_s, u"RecordID"_s, Field::Integer},
        {u"SampleNo"_s, {}, Field::Text},
        {u"Unit"_s, u"UnitName"_s, Field::Text},
        {u"Area"_s, u"CountryAbr"_s, Field::Text},
        {u"Age"_s, u"Age"_s, Field::Real},
        {u"AgePlus"_s, u"AgePError"_s, Field::Real},
        {u"AgeMinus"_s, u"AgeMError"_s, Field::Real},
        {u"Interpretation"_s, u"InterpAbr"_s, Field::Text},
        {u"Material"_s, u"MaterialAbr"_s, Field::Text},
        {u"IsotopeSystem"_s, u"IsotopeSystem"_s, Field::Text},
        {u"Reference"_s, {}, Field::Text},
        {u"Elevation"_s, {}, Field::Real},
    };
    return list;
}

// Longitude and latitude of a sample that has a locality on the globe. Longitude 0 marks none; latitudes
// of 90 and more (900000, 99, ...) are the markers of an unknown one.
std::optional<std::pair<double, double>> usable(const QuerySample &s)
{
    if (s.longitude.isNull() || s.latitude.isNull())
        return std::nullopt;
    const double lon = s.longitude.toDouble(), lat = s.latitude.toDouble();
    if (!std::isfinite(lon) || !std::isfinite(lat) || lon == 0 || lat >= 90 || lat < -90 ||
        std::fabs(lon) > 180)
        return std::nullopt;
    return std::pair{lon, lat};
}

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', u"\"\""_s);
    return u'"' + quoted + u'"';
}

QString number(const QVariant &v)
{
    return v.isNull() ? QString() : QString::number(v.toDouble(), 'g', 15);
}

// One writer per format: a header, a feature per locality, a footer.
class Writer
{
public:
    explicit Writer(QIODevice &out) : m_out(out) {}
    virtual ~Writer() = default;
    virtual void begin() {}
    virtual void feature(double lon, double lat, const QVariantList &values) = 0;
    virtual void end() {}

protected:
    void write(const QByteArray &bytes)
    {
        if (m_out.write(bytes) != bytes.size())
            throw FileError(m_out.errorString());
    }
    QIODevice &m_out;
};

// A value as JSON writes it: texts escaped, numbers in their shortest exact form.
QByteArray json(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return "null";
        return QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    }
    case QJsonValue::String: {
        const QByteArray utf8 = value.toString().toUtf8();
        QByteArray out;
        out.reserve(utf8.size() + 2);
        out += '"';
        for (const char c : utf8) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += "\\u00" +
                           QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
                else
                    out += c;
            }
        }
        out += '"';
        return out;
    }
    default: {
        const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        return array.mid(1, array.size() - 2);
    }
    }
}

class GeoJsonWriter : public Writer
{
public:
    using Writer::Writer;
    void begin() override { write("{\"type\":\"FeatureCollection\",\"features\":[\n"); }
    void feature(double lon, double lat, const QVariantList &values) override
    {
        // The properties in the order of the fields (a JSON object of Qt's own would sort them).
        QByteArray properties;
        for (int i = 0; i < fields().size(); ++i) {
            const QVariant &v = values[i];
            QJsonValue value;
            if (v.isNull())
                value = QJsonValue::Null;
            else if (fields()[i].kind == Field::Text)
                value = v.toString();
            else if (fields()[i].kind == Field::Integer)
                value = v.toLongLong();
            else
                value = v.toDouble();
            properties += (i ? ",\"" : "\"") + fields()[i].name.toUtf8() + "\":" + json(value);
        }
        write(m_first ? QByteArray() : QByteArray(",\n"));
        write("{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" + json(lon) + ',' +
              json(lat) + "]},\"properties\":{" + properties + "}}");
        m_first = false;
    }
    void end() override { write("\n]}\n"); }

private:
    bool m_first = true;
};

class KmlWriter : public Writer
{
public:
    explicit KmlWriter(QIODevice &out) : Writer(out), m_xml(&out) {}
    void begin() override
    {
        m_xml.setAutoFormatting(false); // a line per placemark is written by hand below: a third of the size
        m_xml.writeStartDocument();
        m_xml.writeStartElement(u"kml"_s);
        m_xml.writeDefaultNamespace(u"http://www.opengis.net/kml/2.2"_s);
        m_xml.writeStartElement(u"Document"_s);
        m_xml.writeTextElement(u"name"_s, u"Kelvora sample localities"_s);
        // A typed schema, so that GIS programs read the fields as numbers and texts.
        m_xml.writeStartElement(u"Schema"_s);
        m_xml.writeAttribute(u"name"_s, u"localities"_s);
        m_xml.writeAttribute(u"id"_s, u"localities"_s);
        for (const Field &f : fields()) {
            m_xml.writeStartElement(u"SimpleField"_s);
            m_xml.writeAttribute(u"name"_s, f.name);
            m_xml.writeAttribute(u"type"_s, f.kind == Field::Text      ? u"string"_s
                                            : f.kind == Field::Integer ? u"int"_s
                                                                       : u"double"_s);
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        m_xml.writeStartElement(u"Folder"_s);
        m_xml.writeTextElement(u"name"_s, u"localities"_s);
    }
    void feature(double lon, double lat, const QVariantList &values) override
    {
        m_xml.writeCharacters(u"\n"_s);
        m_xml.writeStartElement(u"Placemark"_s);
        m_xml.writeTextElement(u"name"_s, values[1].toString());
        m_xml.writeStartElement(u"ExtendedData"_s);
        m_xml.writeStartElement(u"SchemaData"_s);
        m_xml.writeAttribute(u"schemaUrl"_s, u"#localities"_s);
        for (int i = 0; i < fields().size(); ++i) {
            if (values[i].isNull())
                continue;
            m_xml.writeStartElement(u"SimpleData"_s);
            m_xml.writeAttribute(u"name"_s, fields()[i].name);
            m_xml.writeCharacters(fields()[i].kind == Field::Text ? values[i].toString() : number(values[i]));
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        m_xml.writeStartElement(u"Point"_s);
        m_xml.writeTextElement(u"coordinates"_s, number(lon) + u',' + number(lat));
        m_xml.writeEndElement();
        m_xml.writeEndElement();
        if (m_xml.hasError())
            throw FileError(m_out.errorString());
    }
    void end() override
    {
        m_xml.writeEndDocument();
        if (m_xml.hasError())
            throw FileError(m_out.errorString());
    }

private:
    QXmlStreamWriter m_xml;
};

class CsvWriter : public Writer
{
public:
    using Writer::Writer;
    void begin() override
    {
        QStringList header{u"Longitude"_s, u"Latitude"_s};
        for (const Field &f : fields())
            header << f.name;
        write(header.join(u',').toUtf8() + "\r\n");
    }
    void feature(double lon, double lat, const QVariantList &values) override
    {
        QStringList line{number(lon), number(lat)};
        for (int i = 0; i < fields().size(); ++i)
            line << (fields()[i].kind == Field::Text ? csvField(values[i].toString()) : number(values[i]));
        write(line.join(u',').toUtf8() + "\r\n");
    }
};

std::unique_ptr<Writer> writerFor(GisFormat format, QIODevice &out)
{
    switch (format) {
    case GisFormat::GeoJson:
        return std::make_unique<GeoJsonWriter>(out);
    case GisFormat::Kml:
        return std::make_unique<KmlWriter>(out);
    case GisFormat::Csv:
        break;
    }
    return std::make_unique<CsvWriter>(out);
}

} // namespace

GisFormat gisFormatOf(const QString &nameOrPath)
{
    QString name = nameOrPath.toLower();
    if (name.contains(u'.'))
        name = QFileInfo(name).suffix();
    if (name == u"geojson" || name == u"json")
        return GisFormat::GeoJson;
    if (name == u"kml")
        return GisFormat::Kml;
    if (name == u"csv")
        return GisFormat::Csv;
    throw InputError(u"'%1' is no format of GIS localities: use geojson, kml or csv."_s.arg(nameOrPath));
}

QStringList gisDialogFilters()
{
    return {u"GeoJSON (*.geojson)"_s, u"KML (*.kml)"_s, u"CSV (*.csv)"_s};
}

GisExportResult exportGisLocalities(TdmKVResults &dm, GisFormat format, const QString &path)
{
    // A reference of each record (the first by name, so that both engines give the same), read once.
    QHash<QString, QString> references;
    {
        QSqlQuery q = dm.KVResults.query();
        q.setForwardOnly(true);
        const QString sql = u"select RecordID, min(SourceID) from SourceA group by RecordID"_s;
        if (!q.exec(sql))
            throw dm.KVResults.translate(q.lastError(), sql);
        while (q.next())
            references.insert(q.value(0).toString(), q.value(1).toString());
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    GisExportResult result;
    try {
        std::unique_ptr<Writer> writer = writerFor(format, file);
        writer->begin();
        forEachQuerySample(dm.KVResults, dm.Query1->sql(), [&](const QuerySample &s) {
            const auto at = usable(s);
            if (!at) {
                ++result.leftOut;
                return;
            }
            const QString id = s.recordId.toString();
            const auto reference = references.constFind(id);
            writer->feature(at->first, at->second,
                            {s.recordId, s.sampleNo, s.unitName, s.countryAbr, s.age, s.agePlus, s.ageMinus,
                             s.interpAbr, s.materialAbr, s.isotopeSystem,
                             reference == references.cend() ? QVariant() : QVariant(*reference),
                             s.elevation});
            ++result.written;
        });
        writer->end();
    } catch (const FileError &e) {
        file.cancelWriting();
        throw FileError(u"Cannot write %1: %2"_s.arg(path, e.message()));
    } catch (...) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit())
        throw FileError(u"Cannot write %1: %2"_s.arg(path, file.errorString()));
    return result;
}

QString gisExportMessage(const GisExportResult &result, const QString &path)
{
    QString text = u"%1 sample localities written to %2."_s.arg(result.written).arg(path);
    if (result.leftOut > 0)
        text += u" %1 samples without a usable locality were left out."_s.arg(result.leftOut);
    return text;
}

} // namespace kv
