#pragma once

#include <QString>

namespace zelk {

// Applies the visual style named by KlientSettings/Style when it names one of
// QStyleFactory::keys() (in any letter case); anything else, the "ERROR" of a missing setting
// included, keeps the default look without a word. True when a style was applied.
bool applyStyleSetting();
// The same for a given name.
bool applyStyleByName(const QString &name);

} // namespace zelk
