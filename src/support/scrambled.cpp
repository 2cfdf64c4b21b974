#include "support/scrambled.h"

#include "common/general.h"

QString Unscramble(const QByteArray& scrambled)
{
    static const QByteArray kKey = QByteArrayLiteral("Wendrel");
    const TGeneral* general = GetGeneral();
    return general ? QString::fromLatin1(general->ShiftText(scrambled, kKey, 3)) : QString();
}
