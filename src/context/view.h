#pragma once
// Where a canvas looks at the drawing: the window of drawing units that fills
// it and the scale between the two. Every canvas (a picture, one band or strip
// of a large picture, a vector page) has a view of its own; the render state
// they draw with is shared.
namespace zumen {

struct DeviceView {
  // column = (x - DispX1) * DispScale, row = DotH - (y - DispY1) * DispScale.
  double DotW = 100, DotH = 100;
  double DispScale = 1;
  double DispX1 = 0, DispY1 = 0, DispX2 = 100, DispY2 = 100;
};

}  // namespace zumen
