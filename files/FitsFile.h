// FITS export of a run's full-precision intensity: the normalised 1024 x 1024 grid of each band
// as 64-bit floats, with the instrument, the band and the Strehl ratio in the header.
#pragma once

#include <string>
#include <vector>

#include "imaging/Camera.h"
#include "core/PsfCalculation.h"

namespace velmora {

// The dialog's filter and the extension the save pattern gives the target.
inline constexpr const char* fitsExportFilter = "FITS(*.fits)|*.fits";
inline constexpr const char* fitsExtension = ".fits";

// What the file says beyond the result.
struct FitsInputs {
    std::string creator = "velmora1";  // CREATOR: the program and its version
    std::vector<std::string> warnings;  // the sampling warnings, as COMMENT cards (ASCII)
};

// The file's bytes. Monochrome: one image in the primary HDU. Colour: a primary HDU without data
// holding the instrument's keywords, then image extensions RED, GREEN and BLUE. NAXIS1 runs along
// the grid's first index (the picture's x). Throws MessageError when the library refuses.
//
// Each image has a linear world coordinate system of angular offsets from the optical axis:
// CTYPEi 'XOFFSET'/'YOFFSET', CUNITi 'arcsec', CDELTi the band's pixel scale, CRVALi 0 at
// CRPIXi = gridSize / 2 + 1 (the centre sample, index gridSize / 2 counted from 0, where the
// unaberrated peak lies). BUNIT is empty (a ratio), NORMALIZ and DATAMAX say how it was
// normalised: the monochrome image has its peak at 1, the colour bands share one scale on
// which the brightest band's peak is 1. WAVELEN is the weighted mean wavelength in metres,
// WAVEn and WGHTn each wavelength (metres) and its relative weight, DIFFLMT lambda / D in
// arcseconds; DATE, ORIGIN and CREATOR say when and by what the file was made. A run with the
// mirror's aberrations has MIRCONIC, FIELDANG (arcmin) and FIELDAZ (degrees) beside APERTURE.
// arcseconds; DATE, ORIGIN and CREATOR say when and by what the file was made.
//
// With a companion star, each band with a scene is followed by an image extension of the scene
// (the star and its companion, as the pictures show it, normalised to its own peak): SCENE in
// monochrome, REDSCENE, GREENSCENE and BLUESCENE in colour, with the same axes and COMPSEP,
// COMPPA and COMPDMAG. Without one the file is as it always was.
std::string EncodeFits(const FullResult& full, const FitsInputs& inputs = {});

// The camera images of a result (one per band, in the result's band order) with the camera's
// own axes: CDELTi the pixel's angle, CRPIXi the middle pixel (size / 2 + 1), where the star
// falls; PIXSIZE the pixel in micrometres, each pixel's share of the band's light. Monochrome:
// one image in the primary HDU; colour: image extensions RED, GREEN and BLUE.
std::string EncodeCameraFits(const FullResult& full, const std::vector<CameraImage>& images,
                             const FitsInputs& inputs = {});

}  // namespace velmora
