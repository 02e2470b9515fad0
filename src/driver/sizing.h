#pragma once
// Output sizing: the bitmap's pixel size from the settings or from the paper
// at a resolution, and the fitting of the drawing's frame into the bitmap.
#include <cstdint>

#include <string>

#include "context/context.h"
#include "formats/family.h"

namespace zumen {

// Drawing families, numbered as the run flow chooses them by extension.
enum class Family : int { None = 0, K4 = 1, Jww = 2, Jws = 3, Jwc = 4, Jwk = 5 };

// Rounds to the nearest whole number, halves to even.
double RoundHalfEven(double v);

// Bitmap size for an explicit resolution: the paper (or, for symbols, the
// extents held in papx x papy) at dpi dots per inch, at least 10 each.
void DotSizeAtDpi(double papx, double papy, double dpi, double& sx, double& sy);

// The scale (pixels per drawing unit) at which FitView fits the frame into
// x by y pixels with the margin.
double FitScale(const FrameBox& frame, double x, double y, double margin);

// The view of an x by y pixel canvas that fits the frame into it, with the
// margin (a share of the frame's size) around it.
DeviceView FitView(const FrameBox& frame, double x, double y, double margin = 0.05);

// Checks the pixel count and the sides against their limits, and the sides
// against what any picture type holds; an error message when over.
std::string CheckBitmapSize(double width, double height, uint64_t maxPixels, uint64_t maxSide);

}  // namespace zumen
