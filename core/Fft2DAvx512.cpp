#define VELMORA_PASSES_ENTRY Fft2DPassesAvx512
#define VELMORA_LANES 8
#include "core/Fft2DPasses.inc"
