// Two lanes: one SSE2 register, which every x86-64 processor has.
#define VELMORA_PASSES_ENTRY Fft2DPassesBaseline
#define VELMORA_LANES 2
#include "core/Fft2DPasses.inc"
