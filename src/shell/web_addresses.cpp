#include "shell/web_addresses.h"

#include "common/general.h"

#include <QByteArray>

namespace {

// Scrambled with ShiftText mode 2; mode 3 turns them back.
const QByteArray kKey = QByteArrayLiteral("Fenwold");
const QByteArray kSiteRoot = QByteArrayLiteral(
    "\xae\xd9\xe2\xe7\xe2\xa6\x93\x75\xdc\xe5\xee\x9d\xe3\xc9\xb4\xc9\xe0\xdc\xdb\x9a\xc9\xbe\xc6\xdb\xe7\xdb\xd1"
    "\x93");
const QByteArray kPageTail = QByteArrayLiteral("\x75\xce\xdc\xdb\xd4\xe4\x92\xae\xd9\xdb\xe3");
const QByteArray kFreeSoftware = QByteArrayLiteral(
    "\xae\xd9\xe2\xe7\xe2\xa6\x93\x75\xdc\xe5\xee\x9d\xe3\xc9\xb4\xc9\xe0\xdc\xdb\x9a\xc9\xbe\xc6\xdb\xe7\xdb\xd1"
    "\x93\xac\xd7\xd3\xdc\x9e");

QString Unscramble(const QByteArray& scrambled)
{
    return QString::fromLatin1(GetGeneral().ShiftText(scrambled, kKey, 3));
}

}  // namespace

QString PictavoHomepageAddress()
{
    return Unscramble(kSiteRoot) + "pictavo" + Unscramble(kPageTail);
}

QString FreeSoftwareHomepageAddress()
{
    return Unscramble(kFreeSoftware);
}

QString WendrelHomepageAddress()
{
    return Unscramble(kSiteRoot);
}
