#pragma once

#include <QString>

namespace zelk {

// The kind of client a workstation registers as; travels as its ordinal.
enum class TZELKClientType : int { ctCall = 0, ctShow = 1, ctAdmin = 2, ctHardware = 3 };

// "Call", "Show", "Admin", "Hardware": appended to the machine name for the automatic client name.
QString clientTypeSuffix(TZELKClientType type);

// The ordinal as it travels on the wire ("0" for a calling client).
QString clientTypeField(TZELKClientType type);

// What the server knows of this workstation; Lopnr is never assigned by the client.
struct TZELKClientData
{
    qint32 Lopnr = 0;
    QString Name;
    QString FriendlyName;
    qint32 Color = 0;
};

} // namespace zelk
