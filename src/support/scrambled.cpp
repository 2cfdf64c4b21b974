#include "support/scrambled.h"

#include "common/general.h"

QString Unscramble(const QByteArray& scrambled)
{
    static const QByteArray kKey = QByteArrayLiteral("Wendrel");
    return QString::fromLatin1(GetGeneral().ShiftText(scrambled, kKey, 3));
}
