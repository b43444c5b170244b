#include "files/Png.h"

#include <png.h>

#include <stdexcept>

namespace velmora {

// libpng's simplified interface reports failures in the image record instead of jumping out of
// the call, so nothing here needs setjmp.
std::string EncodePng(const Picture24& picture) {
    if (picture.empty()) throw std::runtime_error("PNG: the picture is empty");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_BGR;  // the picture's own byte order; libpng writes RGB
    const png_int_32 stride = picture.width * 3;

    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, picture.bgr.data(), stride, nullptr))
        throw std::runtime_error(std::string("PNG: ") + image.message);
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.bgr.data(), stride, nullptr))
        throw std::runtime_error(std::string("PNG: ") + image.message);
    bytes.resize(size);
    png_image_free(&image);
    return bytes;
}

}  // namespace velmora
