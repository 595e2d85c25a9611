#include "common/SwedishDialogs.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

using namespace Qt::StringLiterals;

namespace zelk {

QString swedishCaption(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Warning:
        return u"Varning"_s;
    case QMessageBox::Critical:
        return u"Fel"_s;
    case QMessageBox::Question:
        return u"Fråga"_s;
    case QMessageBox::Information:
    case QMessageBox::NoIcon:
        break;
    }
    return u"Information"_s;
}

void applySwedishButtonTexts(QMessageBox &box)
{
    const std::pair<QMessageBox::StandardButton, QString> labels[] = {
        {QMessageBox::Yes, u"Ja"_s},
        {QMessageBox::No, u"Nej"_s},
        {QMessageBox::Ok, u"OK"_s},
        {QMessageBox::Cancel, u"Avbryt"_s},
    };
    for (const auto &[button, label] : labels) {
        if (QAbstractButton *b = box.button(button))
            b->setText(label);
    }
}

QMessageBox::StandardButton showSwedishMessageBox(QWidget *parent, QMessageBox::Icon icon,
                                                  const QString &text,
                                                  QMessageBox::StandardButtons buttons,
                                                  QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, swedishCaption(icon), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    applySwedishButtonTexts(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool installSwedishTranslations(QCoreApplication &app)
{
    // Installed last, searched first: the program's own catalogue beside the executable wins
    // over Qt's older Swedish catalogue, which lacks most of the texts that Qt 6 shows.
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const std::pair<QString, QString> catalogues[] = {
        {u"qt_sv"_s, qtFolder},
        {u"qtbase_sv"_s, qtFolder},
        {u"zelk_qt_sv"_s, QCoreApplication::applicationDirPath()},
        // A copy started by the self-update runs from the data folder; the catalogue stays in
        // the program folder, which is its working folder.
        {u"zelk_qt_sv"_s, QDir::currentPath()},
    };
    bool own = false;
    for (const auto &[name, folder] : catalogues) {
        if (own && name == u"zelk_qt_sv"_s)
            break;
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(name, folder))
            continue;
        translator->setParent(&app);
        QCoreApplication::installTranslator(translator.release());
        own = name == u"zelk_qt_sv"_s;
    }
    if (!own)
        qWarning("ZELK: zelk_qt_sv.qm not found beside the program; Qt's own texts stay English");
    return own;
}

} // namespace zelk
