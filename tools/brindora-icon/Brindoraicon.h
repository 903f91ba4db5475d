#pragma once

#include <QImage>

// The program's icon: a rounded orange square holding a white play triangle and sound
// waves. Small sizes get one bolder wave so the picture still reads at 16 pixels.
QImage paintBrindoraIcon(int size);
