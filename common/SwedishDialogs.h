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
// Loads Qt's own Swedish texts (qt_sv, qtbase_sv) from Qt's translations folder, so that the
// toolkit's built-in dialogs speak Swedish too. True when at least one was found.
bool installSwedishTranslations(QCoreApplication &app);

} // namespace zelk
