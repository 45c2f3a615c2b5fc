// SPDX-License-Identifier: GPL-3.0-or-later
// The XML scanner of the .xlsx reader on its own, where a mutated input reaches it unpacked: the
// first byte picks the chunk size, the rest is the document. Every token must lie within what the
// scanner says it holds, and the scan must end.
#include "controls/xml_scanner.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype chunk = 1 + data[0] % 17;
    const char *xml = reinterpret_cast<const char *>(data + 1);
    const qsizetype total = qsizetype(size - 1);
    qsizetype at = 0;
    kv::XmlScanner scan(
        [&](char *out, qsizetype capacity) {
            const qsizetype n = std::min(capacity, total - at);
            std::memcpy(out, xml + at, std::size_t(n));
            at += n;
            return n;
        },
        chunk);
    volatile std::size_t sum = 0;
    for (qsizetype tokens = 0; tokens <= total + 1; ++tokens) {
        switch (scan.next()) {
        case kv::XmlScanner::StartElement:
            for (const char c : scan.name())
                sum = sum + std::size_t(c);
            for (const char c : scan.attribute("r"))
                sum = sum + std::size_t(c);
            break;
        case kv::XmlScanner::EndElement:
            for (const char c : scan.name())
                sum = sum + std::size_t(c);
            break;
        case kv::XmlScanner::Characters:
            for (const char c : scan.text())
                sum = sum + std::size_t(c);
            break;
        case kv::XmlScanner::EndDocument:
        case kv::XmlScanner::Invalid: return 0;
        }
    }
    __builtin_trap();  // more tokens than bytes: the scan does not advance
}
