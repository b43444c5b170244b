// The properties each reader must keep on any input, shared by the libFuzzer targets and the
// regression test that replays the seed corpora and every input that ever failed. Each check
// returns what went wrong, or an empty text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora::fuzz {

// The parameter file: the file reader and the text reader agree; whatever was read applies
// without an exception; the record written from it reads completely and writes the same text.
std::string CheckParameterFile(const uint8_t* data, size_t size);
// The user filter: a failed read leaves the table as it was and says why; a read never stores
// more than the table's 500 entries.
std::string CheckUserFilter(const uint8_t* data, size_t size);
// The BMP decoder: a failure leaves the picture unchanged and says why; a decoded picture
// re-encodes as 24-bit BMP to bytes that decode to itself.
std::string CheckBmp(const uint8_t* data, size_t size);
// The mask loader on a file of these bytes: the same properties as the decoder.
std::string CheckUserMask(const uint8_t* data, size_t size);
// The Zernike coefficient file: a failed read says why and gives no terms; a read set has only
// indices of its ordering and finite coefficients within the limit, and the file written from
// it reads back to the same set.
std::string CheckZernikeFile(const uint8_t* data, size_t size);

}  // namespace velmora::fuzz
