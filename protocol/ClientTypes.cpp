#include "protocol/ClientTypes.h"

using namespace Qt::StringLiterals;

namespace zelk {

QString clientTypeSuffix(TZELKClientType type)
{
    switch (type) {
    case TZELKClientType::ctCall: return u"Call"_s;
    case TZELKClientType::ctShow: return u"Show"_s;
    case TZELKClientType::ctAdmin: return u"Admin"_s;
    case TZELKClientType::ctHardware: return u"Hardware"_s;
    }
    return {};
}

QString clientTypeField(TZELKClientType type)
{
    return QString::number(static_cast<int>(type));
}

} // namespace zelk
