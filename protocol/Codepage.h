#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zelk {

// The workstation code page of the text protocol: Windows-1252, extended so that every
// byte 0x00-0xFF maps to exactly one character and back (the five bytes that 1252 leaves
// undefined map to the C1 controls U+0081, U+008D, U+008F, U+0090, U+009D, as Windows does).
// Characters outside the code page are sent as '?'.
QByteArray toCodePage(QStringView text);
QString fromCodePage(QByteArrayView bytes);

} // namespace zelk
