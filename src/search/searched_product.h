#pragma once

#include <QString>
#include <QtGlobal>

namespace quel::search {

// One item of a result list, as it goes into a row of 产品表. The fields the list does
// not show stay 0 or empty; the detail download fills them later.
struct SearchedProduct
{
    QString kWord; // KWord: the keyword, or the nickname when searched by nickname only
    QString pCode; // PCode: the marketplace's item code
    QString shortName; // P_Name: derived from the title when saving
    QString title; // PName
    QString sCode; // SCode: empty when the seller has no shop link
    QString sName; // SName
    QString dat; // Dat: when the search stored it, as text
    QString addr; // Addr
    double price = 0; // Price
    double vip = 0; // VIP
    double mFee = 0; // MFee
    QString pMode; // PMode
    double dis = 0; // Dis
    QString service; // Service
    QString returns; // Return
    qint32 num1 = 0; // Num1: "最近售出" of the list
    bool num1Shown = false; // the list showed "最近售出" (else num1 is no observation)
    qint32 num9 = 0; // Num9
    QString style; // Style
    qint32 vTimes = 0; // VTimes
    qint32 cTimes = 0; // CTimes
    qint32 sNum = 0; // SNum
};

} // namespace quel::search
