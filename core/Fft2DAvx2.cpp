#define VELMORA_PASSES_ENTRY Fft2DPassesAvx2
#define VELMORA_LANES 4
#include "core/Fft2DPasses.inc"
