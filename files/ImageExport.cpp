#include "files/ImageExport.h"

#include <algorithm>
#include <cctype>

#include "files/Bmp.h"
#include "files/Jpeg.h"

namespace velmora {

ImageFormat FormatForFilterEntry(int filterIndex) { return filterIndex == 2 ? ImageFormat::Jpeg : ImageFormat::Bmp; }

std::string ImageExtension(ImageFormat format) { return format == ImageFormat::Jpeg ? ".jpg" : ".bmp"; }

ImageFormat FormatForFileName(const std::string& path) {
    if (path.size() < 4) return ImageFormat::Bmp;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".jpg" ? ImageFormat::Jpeg : ImageFormat::Bmp;
}

std::string EncodeImage(const Picture24& picture, ImageFormat format) {
    return format == ImageFormat::Jpeg ? EncodeJpeg(picture, jpegQuality) : EncodeBmp24(picture);
}

}  // namespace velmora
