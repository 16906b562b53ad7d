// Geometry of dialogs: rectangles in pixels and in dialog units, and the conversions.
//
// Templates give positions and sizes in dialog units. A dialog unit is a quarter of the
// average character width and an eighth of the character height of the dialog font; for the
// 8-point font these are 6 × 13 pixels, so x units are 1.5 pixels and y units 1.625 pixels.
// Everything a dialog procedure sees (control rectangles, the window rectangle, the sizing
// proposal) is in pixels. The terminal front-end shows one character cell per 6 × 13 pixels,
// i.e. per 4 × 8 dialog units: one character of dialog text takes one cell.
#pragma once

namespace platform::ui {

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const PixelRect&) const = default;
};

struct UnitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The average character of the dialog font in pixels; also one terminal cell.
constexpr int kCharWidth = 6;
constexpr int kCharHeight = 13;

// The frame around a dialog's client area: one character column on each side, the caption
// row above and one row below. Window rectangle = client size + frame.
constexpr int kFrameLeft = kCharWidth;
constexpr int kFrameRight = kCharWidth;
constexpr int kFrameTop = kCharHeight;
constexpr int kFrameBottom = kCharHeight;

// Dialog units to pixels, rounded to the nearest pixel.
inline int UnitsToPixelsX(int units) { return (units * kCharWidth + 2) / 4; }
inline int UnitsToPixelsY(int units) { return (units * kCharHeight + 4) / 8; }

inline PixelRect UnitsToPixels(const UnitRect& rect) {
  const int left = UnitsToPixelsX(rect.x);
  const int top = UnitsToPixelsY(rect.y);
  return PixelRect{left, top, left + UnitsToPixelsX(rect.width), top + UnitsToPixelsY(rect.height)};
}

}  // namespace platform::ui
