// The picture export shared by the 2D viewer, the 3D view and the batch command: the format
// the save dialog's filter entry selects, the file extension that goes with it, the bytes.
// The dialogs offer BMP and JPEG; PNG is for the batch command, which picks by file name.
#pragma once

#include <optional>
#include <string>

#include "core/Picture24.h"

namespace velmora {

enum class ImageFormat { Bmp, Jpeg, Png };

// The save dialog's filter: entry 1 BMP, entry 2 JPEG.
inline constexpr const char* imageExportFilter = "BMP(*.bmp)|*.bmp|JPEG(*.jpg)|*.jpg";

// The format chosen by a 1-based filter entry; only entry 2 means JPEG.
ImageFormat FormatForFilterEntry(int filterIndex);
// ".bmp", ".jpg" or ".png".
std::string ImageExtension(ImageFormat format);
// The format a file name asks for by its extension; a name without a known one gives BMP.
ImageFormat FormatForFileName(const std::string& path);
// The format a command-line output name asks for by its extension (any case): ".bmp", ".jpg" or
// ".jpeg", ".png"; none for any other name.
std::optional<ImageFormat> FormatForOutputName(const std::string& path);
// The extensions FormatForOutputName knows, for a message: ".bmp, .jpg, .jpeg, .png".
inline constexpr const char* knownImageExtensions = ".bmp, .jpg, .jpeg, .png";
// The file's bytes: a 24-bit Windows bitmap, a quality 70 baseline JPEG, or an RGB PNG.
std::string EncodeImage(const Picture24& picture, ImageFormat format);

}  // namespace velmora
