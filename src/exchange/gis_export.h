// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kv {

class TdmKVResults;

/// The files File > Export > "GIS Localities" writes.
enum class GisFormat
{
    GeoJson,
    Kml,
    Csv
};

/// The format a name says ("geojson", "kml", "csv", or a file's extension); InputError for another.
GisFormat gisFormatOf(const QString &nameOrPath);
/// The save dialog's entries, in GisFormat order.
QStringList gisDialogFilters();

/// What an export wrote: the localities, and the samples left out for want of a usable locality.
struct GisExportResult
{
    int written = 0;
    int leftOut = 0;
};

/// Writes the localities of the samples of every record of the query (Query1's text) with the record's
/// fields: GeoJSON (RFC 7946, WGS84 longitude and latitude), KML or CSV. A sample without a usable
/// locality (longitude 0, latitude 900000 or at least 90, no locality row) is left out and counted. The
/// file is replaced only when complete; FileError when it cannot be written.
GisExportResult exportGisLocalities(TdmKVResults &dm, GisFormat format, const QString &path);

/// The message that tells the user what an export did.
QString gisExportMessage(const GisExportResult &result, const QString &path);

} // namespace kv
