#pragma once

#include <QMessageBox>
#include <QString>

class QCoreApplication;

namespace zelk {

// The program's message boxes speak Swedish: captions "Varning", "Fel", "Information",
// "Fråga" by the box's icon, buttons "Ja", "Nej", "OK", "Avbryt".
QString swedishCaption(QMessageBox::Icon icon);
// Labels the standard buttons of a box in Swedish.
void applySwedishButtonTexts(QMessageBox &box);
// A modal box with Swedish caption and buttons; the event loop keeps running while it is open.
QMessageBox::StandardButton showSwedishMessageBox(QWidget *parent, QMessageBox::Icon icon,
                                                  const QString &text,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton defaultButton);
// Loads the Swedish texts of the toolkit's own strings (colour chooser, standard buttons,
// context menus, socket errors): the program's zelk_qt_sv.qm beside the executable, over Qt's
// qt_sv/qtbase_sv where installed. True when the program's own catalogue was loaded.
bool installSwedishTranslations(QCoreApplication &app);

} // namespace zelk
