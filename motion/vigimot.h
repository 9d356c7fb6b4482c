/* vigimot: motion analysis over 8-bit grey planes owned by the caller.
 *
 * Every export is self-contained: no state survives a call, so the exports may be called in
 * any order and from several threads at once on distinct output buffers. Results are
 * VIGIMOT_DONE or VIGIMOT_REFUSED. Pointers are never checked for null. */
#ifndef VIGIMOT_H
#define VIGIMOT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define VIGIMOT_API __attribute__((visibility("default")))
#else
#define VIGIMOT_API
#endif

#define VIGIMOT_DONE 1
#define VIGIMOT_REFUSED 65535

/* One grey plane: width x height bytes, rows packed, row 0 first in memory. */
typedef struct ImageBuf {
    uint8_t* data;
    int16_t width;
    int16_t height;
} ImageBuf;

/* Point16 and Size16 travel by value as one 32-bit value, first member in the low 16 bits. */
typedef struct Point16 {
    int16_t x;
    int16_t y;
} Point16;

typedef struct Size16 {
    int16_t width;
    int16_t height;
} Size16;

/* Extents of a bounding box are last minus first: a one-pixel box has extent 0. */
typedef struct Rect16 {
    int16_t x;
    int16_t y;
    int16_t width;
    int16_t height;
} Rect16;

/* One region to examine; an array of them has 14-byte records. */
typedef struct MotionRegion {
    int16_t x;
    int16_t y;
    int16_t width;
    int16_t height;
    int16_t areaPercent;   /* rule 1: target must cover more than this percentage */
    int16_t diffThreshold; /* a pixel changed when |difference| is greater than this */
    int8_t rule;           /* 1 area rule, 2 border rule, other: no alarm */
} MotionRegion;

/* dst = |first - second|; 65535 and dst untouched when the sizes differ. */
VIGIMOT_API int32_t ORBALIN_Subtract_Image(const ImageBuf* first, const ImageBuf* second,
                                           ImageBuf* dst);

/* Copies the extent at origin of src into the packed dst and gives dst the extent's size. */
VIGIMOT_API void ORBALIN_Get_Buf_Child2d(const ImageBuf* src, Point16 origin, Size16 extent,
                                         ImageBuf* dst);

/* Thresholds src into a 0/255 dst by mode 1..5; 65535 for another mode or mode 2 with
 * level2 65535 (dst takes src's size either way, its bytes only when done). */
VIGIMOT_API int32_t ORBALIN_Binarize(const ImageBuf* src, ImageBuf* dst, int32_t mode,
                                     int32_t level1, int32_t level2);

/* 3x3 erosion of src into a different plane dst of the same size; borders cut the block. */
VIGIMOT_API void ORBALIN_Erode(const ImageBuf* src, ImageBuf* dst);

/* out = origin + extent / 2, halves truncating toward zero. */
VIGIMOT_API void ORBALIN_Get_Center(Point16 origin, Size16 extent, Point16* out);

/* out = 1 when the rectangle comes within 4 pixels of the mask's border, else 0. */
VIGIMOT_API void ORBALIN_Detect_Boundary(const ImageBuf* mask, Point16 origin, Size16 extent,
                                         uint8_t* out);

/* Copies the 32-byte version text, its terminating zero included. */
VIGIMOT_API void ORBALIN_Get_Vigimot_Version(char* text);

/* Bounding box of the set bytes of a mask; found 0 and (W, H, -W, -H) when none is set. */
VIGIMOT_API void ORBALIN_Find_Target(const ImageBuf* mask, Rect16* target, uint8_t* found);

/* Counts the set bytes of a mask and decides by mode 1..5; another mode writes nothing. */
VIGIMOT_API void ORBALIN_Get_Alarm(const ImageBuf* mask, int32_t mode, int32_t level1,
                                   int32_t level2, uint8_t* alarm);

/* Frame differencing of current against reference; work receives the eroded change mask.
 * The low 16 bits of diffThreshold and areaPercent count, as signed values. */
VIGIMOT_API void ORBALIN_Detect_Motion(const ImageBuf* current, const ImageBuf* reference,
                                       ImageBuf* work, int32_t diffThreshold, int32_t areaPercent,
                                       uint8_t* alarm, Rect16* target, uint8_t* found);

/* ORBALIN_Detect_Motion per region, results in full-frame coordinates; the low 16 bits of
 * count count, as a signed value, and are returned sign-extended. */
VIGIMOT_API int32_t ORBALIN_Detect_Motion_Multiple(const ImageBuf* current,
                                                   const ImageBuf* reference, int32_t count,
                                                   const MotionRegion* regions, uint8_t* alarms,
                                                   Point16* centres, Rect16* targets,
                                                   uint8_t* found);

#ifdef __cplusplus
}
#endif

#endif /* VIGIMOT_H */
