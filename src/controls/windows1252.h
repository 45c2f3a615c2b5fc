// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kv {

/// The code page of Excel 5 texts and of the CSV files Excel writes on Windows.
/// A byte as a character; the five bytes Windows-1252 leaves undefined keep their C1 control, as Windows
/// reads them.
char16_t fromWindows1252(unsigned char byte);
QString fromWindows1252(QByteArrayView bytes);
/// Text as Windows-1252 bytes; a character the code page lacks becomes '?'.
QByteArray toWindows1252(QStringView text);

} // namespace kv
