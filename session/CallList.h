#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>

#include <array>

namespace zelk {

// One entry of the call list and of the drum. The entry owns its two face pictures; a
// renderer uploads them to its device on first use and again after the device was lost.
struct TZELKCallListItem
{
    QString CallNamn;
    QString CallFullname;
    qint32 CallLOPNR = 0;
    qint32 CallColor = 0; // 0x00BBGGRR
    QImage Texture;       // neutral face
    QImage CallTexture;   // called face
    bool IsAvbryt = false;
    bool IsCalled = false;
    QDateTime CallTime;
    QString ComingName;
    QDateTime ComingTime;
    qint32 ComingLopnr = 0;
};

// The call list in the order of the last RETCALLLIST. Others refer to entries by index only.
using TZELKCallList = QList<TZELKCallListItem>;

// The drum has eight faces, numbered 1 to 8; index 0 is unused so that the face number
// indexes the array directly. Each element is an index into the call list.
inline constexpr int kDrumFaces = 8;
using FaceMap = std::array<int, kDrumFaces + 1>;

// The angle between two faces of the drum, in radians.
inline constexpr double FaceStep = 0.7853975;

} // namespace zelk
