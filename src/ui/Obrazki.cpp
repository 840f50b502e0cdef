// The program's own pictures, computed pixel by pixel into 32-bit DIB sections (no binary assets).
#include "ui/Obrazki.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct TRgb {
    double R, G, B;
};

TRgb Lerp(TRgb a, TRgb b, double t)
{
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

std::uint8_t Byte(double v)
{
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Source-over of a colour with coverage a (0..1) onto a premultiplied 0xAARRGGBB pixel.
void Blend(std::uint32_t& px, TRgb c, double a)
{
    if (a <= 0) return;
    a = std::min(a, 1.0);
    const double da = ((px >> 24) & 0xFF) / 255.0;
    const double dr = ((px >> 16) & 0xFF), dg = ((px >> 8) & 0xFF), db = (px & 0xFF);
    const double outA = a + da * (1 - a);
    const double r = c.R * a + dr * (1 - a);
    const double g = c.G * a + dg * (1 - a);
    const double b = c.B * a + db * (1 - a);
    px = (static_cast<std::uint32_t>(Byte(outA * 255)) << 24) | (static_cast<std::uint32_t>(Byte(r)) << 16) |
         (static_cast<std::uint32_t>(Byte(g)) << 8) | Byte(b);
}

// Paints a shape given as a test on picture coordinates scaled to units x units (4 x 4 samples a pixel).
template <class Inside>
void PaintShape(TBitmap& bmp, double unitsX, double unitsY, TRgb color, double opacity, Inside inside)
{
    const int w = bmp.Width(), h = bmp.Height();
    std::uint32_t* px = bmp.Pixels();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const double u = (x + (sx + 0.5) / 4) * unitsX / w;
                    const double v = (y + (sy + 0.5) / 4) * unitsY / h;
                    if (inside(u, v)) ++hits;
                }
            if (hits) Blend(px[y * w + x], color, opacity * hits / 16.0);
        }
    }
}

auto Box(double x0, double y0, double x1, double y1)
{
    return [=](double u, double v) { return u >= x0 && u < x1 && v >= y0 && v < y1; };
}

void Frame(TBitmap& bmp, TRgb color)
{
    const int w = bmp.Width(), h = bmp.Height();
    PaintShape(bmp, w, h, color, 1.0, [=](double u, double v) { return u < 1 || v < 1 || u >= w - 1 || v >= h - 1; });
}

const TRgb kWhite{255, 255, 255};

} // namespace

TBitmap MakeSideStrip(int width, int height)
{
    TBitmap bmp(width, height);
    std::uint32_t* px = bmp.Pixels();
    const TRgb top{14, 34, 82}, bottom{52, 118, 196};
    for (int y = 0; y < height; ++y) {
        const double t = height > 1 ? static_cast<double>(y) / (height - 1) : 0;
        for (int x = 0; x < width; ++x) {
            // A slight darkening towards the edges gives the strip some depth.
            const double e = std::abs((x + 0.5) / width - 0.5) * 2;
            const TRgb c = Lerp(Lerp(top, bottom, t), TRgb{8, 20, 52}, 0.25 * e * e);
            px[y * width + x] = 0xFF000000u | (static_cast<std::uint32_t>(Byte(c.R)) << 16) |
                                (static_cast<std::uint32_t>(Byte(c.G)) << 8) | Byte(c.B);
        }
    }
    // The emblem: three rings around a diamond, in a square of 100 units centred in the upper part.
    const double cx = 50, cy = 50;
    const double sx = 100.0 * width / std::min(width, height);
    const double sy = sx * height / width;
    const double shiftY = sy * 0.36 - cy;
    auto ring = [&](double r, double halfWidth) {
        return [=](double u, double v) {
            const double d = std::hypot(u - cx, v - shiftY - cy);
            return std::abs(d - r) <= halfWidth;
        };
    };
    PaintShape(bmp, sx, sy, kWhite, 0.50, ring(38, 1.1));
    PaintShape(bmp, sx, sy, kWhite, 0.35, ring(29, 0.8));
    PaintShape(bmp, sx, sy, kWhite, 0.25, ring(20, 0.6));
    PaintShape(bmp, sx, sy, TRgb{170, 205, 250}, 0.55, [&](double u, double v) {
        return std::abs(u - cx) + std::abs(v - shiftY - cy) <= 14;
    });
    PaintShape(bmp, sx, sy, kWhite, 0.85, [&](double u, double v) {
        return std::abs(u - cx) + std::abs(v - shiftY - cy) <= 6;
    });
    // Three soft waves near the bottom.
    for (int i = 0; i < 3; ++i) {
        const double base = sy * (0.80 + 0.045 * i);
        PaintShape(bmp, sx, sy, kWhite, 0.22 - 0.05 * i, [=](double u, double v) {
            return std::abs(v - (base + 3.5 * std::sin(u * 0.09 + i * 1.3))) <= 0.9;
        });
    }
    TBitmap::Flush();
    return bmp;
}

TBitmap MakeFlag(TFlag flag, int width, int height)
{
    TBitmap bmp(width, height);
    const double W = width, H = height;
    auto hStripes = [&](TRgb a, TRgb b, TRgb c) {
        PaintShape(bmp, W, H, a, 1, Box(0, 0, W, H / 3));
        PaintShape(bmp, W, H, b, 1, Box(0, H / 3, W, 2 * H / 3));
        PaintShape(bmp, W, H, c, 1, Box(0, 2 * H / 3, W, H));
    };
    auto vStripes = [&](TRgb a, TRgb b, TRgb c) {
        PaintShape(bmp, W, H, a, 1, Box(0, 0, W / 3, H));
        PaintShape(bmp, W, H, b, 1, Box(W / 3, 0, 2 * W / 3, H));
        PaintShape(bmp, W, H, c, 1, Box(2 * W / 3, 0, W, H));
    };
    switch (flag) {
    case TFlag::Polish:
        PaintShape(bmp, W, H, kWhite, 1, Box(0, 0, W, H / 2));
        PaintShape(bmp, W, H, TRgb{220, 20, 60}, 1, Box(0, H / 2, W, H));
        break;
    case TFlag::German: hStripes({0, 0, 0}, {221, 0, 0}, {255, 206, 0}); break;
    case TFlag::French: vStripes({0, 85, 164}, kWhite, {239, 65, 53}); break;
    case TFlag::Italian: vStripes({0, 146, 70}, kWhite, {206, 43, 55}); break;
    case TFlag::English: {
        // On a 60 x 30 grid: blue field, white and red diagonals, white and red cross.
        const TRgb blue{1, 33, 105}, red{200, 16, 46};
        const double diag = std::hypot(60.0, 30.0);
        auto nearDiagonal = [=](double halfWidth) {
            return [=](double u, double v) {
                return std::abs(30 * u - 60 * v) / diag <= halfWidth || std::abs(30 * u + 60 * v - 1800) / diag <= halfWidth;
            };
        };
        PaintShape(bmp, 60, 30, blue, 1, Box(0, 0, 60, 30));
        PaintShape(bmp, 60, 30, kWhite, 1, nearDiagonal(3));
        PaintShape(bmp, 60, 30, red, 1, nearDiagonal(1));
        PaintShape(bmp, 60, 30, kWhite, 1, [](double u, double v) { return std::abs(u - 30) <= 5 || std::abs(v - 15) <= 5; });
        PaintShape(bmp, 60, 30, red, 1, [](double u, double v) { return std::abs(u - 30) <= 3 || std::abs(v - 15) <= 3; });
        break;
    }
    }
    Frame(bmp, TRgb{96, 96, 96});
    TBitmap::Flush();
    return bmp;
}

TBitmap MakeTreeImage(TTreeImage image, int size)
{
    TBitmap bmp(size, size);
    const TRgb outline{120, 84, 10}, back{226, 170, 40}, face{250, 204, 82}, flap{255, 226, 140};
    switch (image) {
    case TTreeImage::Drive:
        PaintShape(bmp, 16, 16, TRgb{90, 90, 96}, 1, Box(1, 5, 15, 12.5));
        PaintShape(bmp, 16, 16, TRgb{200, 202, 208}, 1, Box(2, 6, 14, 10.5));
        PaintShape(bmp, 16, 16, TRgb{150, 152, 160}, 1, Box(2, 10.5, 14, 11.5));
        PaintShape(bmp, 16, 16, TRgb{40, 190, 60}, 1, Box(11, 8, 13, 9.5));
        PaintShape(bmp, 16, 16, TRgb{110, 112, 120}, 1, Box(3, 8.3, 9, 9.2));
        break;
    case TTreeImage::Folder:
        PaintShape(bmp, 16, 16, outline, 1, Box(1, 2.5, 7, 5));
        PaintShape(bmp, 16, 16, outline, 1, Box(1, 4, 15, 14));
        PaintShape(bmp, 16, 16, back, 1, Box(2, 3.5, 6, 5));
        PaintShape(bmp, 16, 16, face, 1, Box(2, 5, 14, 13));
        break;
    case TTreeImage::OpenFolder:
        PaintShape(bmp, 16, 16, outline, 1, Box(1, 2.5, 7, 5));
        PaintShape(bmp, 16, 16, outline, 1, Box(1, 4, 13, 14));
        PaintShape(bmp, 16, 16, back, 1, Box(2, 3.5, 6, 5));
        PaintShape(bmp, 16, 16, back, 1, Box(2, 5, 12, 13));
        // The front flap, tilted open: a parallelogram from (4,7)-(16,7) down to (1,14)-(13,14).
        PaintShape(bmp, 16, 16, outline, 1, [](double u, double v) {
            if (v < 7 || v >= 14) return false;
            const double shift = (v - 7) * 3.0 / 7.0;
            return u >= 4 - shift && u < 16 - shift;
        });
        PaintShape(bmp, 16, 16, flap, 1, [](double u, double v) {
            if (v < 8 || v >= 13) return false;
            const double shift = (v - 7) * 3.0 / 7.0;
            return u >= 5 - shift && u < 15 - shift;
        });
        break;
    }
    TBitmap::Flush();
    return bmp;
}
