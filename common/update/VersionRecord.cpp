// The version record of this executable. It lives in a section of its own and is marked as
// used, so neither the compiler nor the linker drops it even where nothing reads it.
#include "common/update/VersionInfo.h"

#include "ZelkBuildInfo.h"

#include <cstddef>

namespace zelk {

namespace {

struct RecordImage
{
    char bytes[kVersionRecordSize];
};

consteval RecordImage buildRecord()
{
    RecordImage r{};
    std::size_t n = 0;
    auto put = [&r, &n](const char *text) {
        for (; *text; ++text) {
            // The last byte stays NUL: a record that runs full does not compile.
            if (n + 1 >= sizeof r.bytes)
                throw "version record too long";
            r.bytes[n++] = *text;
        }
    };
    auto field = [&put](const char *name, const char *value) {
        put(name);
        put("=");
        put(value);
        put("\n");
    };
    // The marker in two halves, as versionRecordMarker() assembles it.
    put("\x7fZELK-VE");
    put("RSION\x01\x7f\x7f");
    field("CompanyName", ZELK_COMPANY_NAME);
    field("FileDescription", ZELK_PRODUCT_NAME);
    // The file version always has four parts; the product version as the project names it.
    put("FileVersion=");
    put(ZELK_PRODUCT_VERSION);
    int dots = 0;
    for (const char *c = ZELK_PRODUCT_VERSION; *c; ++c)
        dots += *c == '.' ? 1 : 0;
    for (; dots < 3; ++dots)
        put(".0");
    put("\n");
    field("InternalName", "ZELK_WCallClient");
    field("LegalCopyright", "Copyright (C) " ZELK_COMPANY_NAME);
    field("LegalTrademarks", "");
    field("OriginalFilename", "ZELK_WCallClient");
    field("ProductName", ZELK_PRODUCT_NAME);
    field("ProductVersion", ZELK_PRODUCT_VERSION);
    field("Comments", "");
    field("SpecialBuild", "");
    return r;
}

// Not const: the debug information would then carry a second copy of the record as the
// variable's constant value, and a copy of the executable could no longer be told apart.
[[gnu::used, gnu::section(".zelk_version")]] constinit RecordImage kVersionRecord = buildRecord();

} // namespace

QByteArray versionRecordMarker()
{
    static const char head[] = "\x7fZELK-VE";
    static const char tail[] = "RSION\x01\x7f\x7f";
    return QByteArray(head) + QByteArray(tail);
}

QByteArrayView ownVersionRecord()
{
    return QByteArrayView(kVersionRecord.bytes, kVersionRecordSize);
}

} // namespace zelk
