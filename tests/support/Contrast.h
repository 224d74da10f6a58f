#pragma once
// Contrast of colours as WCAG 2 defines it: text needs 4.5 : 1 against its
// background, a mark or an outline 3 : 1.
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <map>

constexpr double TEXT_CONTRAST = 4.5;
constexpr double MARK_CONTRAST = 3.0;

inline double relativeLuminance(const QColor& colour)
{
    auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

inline double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour that fills most of the area: the background of whatever is drawn there.
inline QColor dominantColour(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? QColor() : QColor::fromRgb(most->first);
}

// The strongest contrast any pixel of the area has against the background: that
// of the text's full-strength strokes (anti-aliased edges lie between the two).
inline double strongestContrast(const QImage& image, const QRect& area, const QColor& background)
{
    double strongest = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, contrastRatio(QColor::fromRgb(image.pixel(x, y)), background));
    return strongest;
}

// The outline of an icon: its opaque pixels that touch a transparent one or the
// image's edge, in their own colour (not mixed with what lies behind).
inline QList<QColor> outlineColours(const QImage& icon)
{
    const QImage image = icon.convertToFormat(QImage::Format_ARGB32);
    auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) >= 128;
    };
    QList<QColor> outline;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (opaque(x, y) && (!opaque(x - 1, y) || !opaque(x + 1, y) || !opaque(x, y - 1) || !opaque(x, y + 1)))
                outline.append(QColor::fromRgb(image.pixel(x, y)));
    return outline;
}

// The weakest contrast of an icon's outline against a background; 0 for an empty icon.
inline double weakestOutlineContrast(const QImage& icon, const QColor& background)
{
    const QList<QColor> outline = outlineColours(icon);
    if (outline.isEmpty())
        return 0.0;
    double weakest = MARK_CONTRAST * 100;
    for (const QColor& colour : outline)
        weakest = std::min(weakest, contrastRatio(colour, background));
    return weakest;
}
