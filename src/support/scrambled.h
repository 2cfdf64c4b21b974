#pragma once

#include <QByteArray>
#include <QString>

// The support services keep their built-in names and texts scrambled (ShiftText mode 2 with their own key) so
// that they do not stand in the program file as plain text; this turns one back.
QString Unscramble(const QByteArray& scrambled);
