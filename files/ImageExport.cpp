#include "files/ImageExport.h"

#include <algorithm>
#include <cctype>

#include "files/Bmp.h"
#include "files/Jpeg.h"
#include "files/Png.h"

namespace velmora {

ImageFormat FormatForFilterEntry(int filterIndex) { return filterIndex == 2 ? ImageFormat::Jpeg : ImageFormat::Bmp; }

std::string ImageExtension(ImageFormat format) {
    switch (format) {
        case ImageFormat::Jpeg: return ".jpg";
        case ImageFormat::Png: return ".png";
        case ImageFormat::Bmp: break;
    }
    return ".bmp";
}

ImageFormat FormatForFileName(const std::string& path) { return FormatForOutputName(path).value_or(ImageFormat::Bmp); }

std::optional<ImageFormat> FormatForOutputName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
    if (extension == ".bmp") return ImageFormat::Bmp;
    if (extension == ".jpg" || extension == ".jpeg") return ImageFormat::Jpeg;
    if (extension == ".png") return ImageFormat::Png;
    return std::nullopt;
}

std::string EncodeImage(const Picture24& picture, ImageFormat format) {
    switch (format) {
        case ImageFormat::Jpeg: return EncodeJpeg(picture, jpegQuality);
        case ImageFormat::Png: return EncodePng(picture);
        case ImageFormat::Bmp: break;
    }
    return EncodeBmp24(picture);
}

}  // namespace velmora
