#pragma once
// Inside of the pixel work (pixels.h), shared by its files: row addresses taken once for the
// threads, the channels of an RGB32 pixel, pi, and the mark of the row loops built for two processors.
#include <QImage>
#include <cstdint>

namespace kal::image::interne {

// Row addresses of a picture taken once, before the rows are shared out between threads.
struct Lignes {
    uchar* base;
    qsizetype pas;
    uchar* operator()(int y) const { return base + y * pas; }
};
inline Lignes lignes(QImage& i) { return {i.bits(), i.bytesPerLine()}; }

inline int borne8(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int rouge(uint32_t p) { return (p >> 16) & 0xFF; }
inline int vert(uint32_t p) { return (p >> 8) & 0xFF; }
inline int bleu(uint32_t p) { return p & 0xFF; }
inline uint32_t pixel(int r, int g, int b) { return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

inline constexpr double Pi = 3.14159265358979323846;

// Row loops compiled twice, for every x86-64 processor and for those with AVX2 (twice the width
// of vector), the processor's own chosen when the program starts. The integer arithmetic is the
// same in both, so are the pixels.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define KAL_VECTORIEL __attribute__((target_clones("avx2", "default")))
#else
#define KAL_VECTORIEL
#endif

}  // namespace kal::image::interne
