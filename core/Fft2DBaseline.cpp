#define VELMORA_PASSES_ENTRY Fft2DPassesBaseline
#include "core/Fft2DPasses.inc"
