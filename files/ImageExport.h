// The picture export shared by the 2D viewer, the 3D view and the batch command: the format
// the save dialog's filter entry selects, the file extension that goes with it, the bytes.
#pragma once

#include <string>

#include "core/Picture24.h"

namespace velmora {

enum class ImageFormat { Bmp, Jpeg };

// The save dialog's filter: entry 1 BMP, entry 2 JPEG.
inline constexpr const char* imageExportFilter = "BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg";

// The format chosen by a 1-based filter entry; only entry 2 means JPEG.
ImageFormat FormatForFilterEntry(int filterIndex);
// ".bmp" or ".jpg".
std::string ImageExtension(ImageFormat format);
// A name ending in ".jpg" (any case) asks for JPEG, any other for BMP.
ImageFormat FormatForFileName(const std::string& path);
// The file's bytes: a 24-bit Windows bitmap, or a quality 70 baseline JPEG.
std::string EncodeImage(const Picture24& picture, ImageFormat format);

}  // namespace velmora
