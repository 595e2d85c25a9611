// zelk-stamp-version: writes a copy of an executable of this product whose version record
// names another product version, e.g. to serve a "newer" client from a test update server.
#include "common/update/VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: zelk-stamp-version <executable> <copy> <product version>\n");
        return 2;
    }
    auto fail = [](const QString &why) {
        std::fprintf(stderr, "zelk-stamp-version: %s\n", qPrintable(why));
        return 1;
    };
    QFile in(args.at(1));
    if (!in.open(QIODevice::ReadOnly))
        return fail(args.at(1) + u": "_s + in.errorString());
    QByteArray image = in.readAll();
    QString error;
    if (!zelk::stampVersionRecord(image, args.at(3), &error))
        return fail(args.at(1) + u": "_s + error);

    QSaveFile out(args.at(2));
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size() || !out.commit())
        return fail(args.at(2) + u": "_s + out.errorString());
    QFile::setPermissions(args.at(2), in.permissions());
    return 0;
}
