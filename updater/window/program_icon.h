// The program's icon, drawn: the picture of qrm284-updater.svg (a player
// under an arrow pointing into it), so that the window has its icon without
// an SVG renderer and without an installed icon theme.
#pragma once

#include <QIcon>
#include <QImage>

namespace updater::window {

// The icon at `size` x `size` pixels, on a transparent ground.
QImage DrawProgramIcon(int size);
// The icon at the sizes window managers and task bars ask for.
QIcon ProgramIcon();

} // namespace updater::window
