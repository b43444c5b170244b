#define VELMORA_PASSES_ENTRY Fft2DPassesAvx2
#include "core/Fft2DPasses.inc"
