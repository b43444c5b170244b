// The picture export of the 2D viewer and the 3D view: the save dialog, the format by filter
// entry, the target extension, the overwrite question, the write.
#pragma once

#include "core/Picture24.h"
#include "core/PsfCalculation.h"

class QWidget;

namespace velmora {

// Asks for a file and writes `picture` there as BMP or JPEG. A failed write shows the error
// box and leaves no file under the target name.
void SavePictureByDialog(QWidget* parent, const Picture24& picture);

// Asks for a file and writes the full-precision result there as FITS, with the same rename and
// question as the picture export. Without a result it says so and asks nothing.
void SaveFitsByDialog(QWidget* parent, const FullResult* full);

}  // namespace velmora
