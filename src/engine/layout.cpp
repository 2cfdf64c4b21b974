#include "engine/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <cstdlib>

namespace {

constexpr std::int32_t kMinVisible = 3;  // pixels of a custom-placed picture that stay on the sheet
constexpr std::int32_t kFallbackPrintWidth = 2000;
constexpr std::int32_t kFallbackPrintHeight = 2500;
constexpr int kNameLength = 32;

std::int32_t Checked(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw std::range_error("integer overflow");
    return std::int32_t(value);
}

Extended Divide(Extended a, Extended b)
{
    if (b == 0)
        throw std::domain_error("division by zero");
    return a / b;
}

QSize LayoutSize(const TPictavoInfo& info, const TLayoutDevice& device)
{
    const std::int32_t iw = info.PictureWidth;
    const std::int32_t ih = info.PictureHeight;
    switch (info.Scale) {
    case kScaleActualSize:
        return {RoundEven(Divide(device.DpiX, device.ScreenPPI) * iw),
                RoundEven(Divide(device.DpiY, device.ScreenPPI) * ih)};
    case kScaleToPage: {
        const Extended f = std::min(Divide(info.PageWidth, iw), Divide(info.PageHeight, ih));
        return {RoundEven(iw * f), RoundEven(ih * f)};
    }
    case kScaleFitToPage:
        return {info.PageWidth, info.PageHeight};
    case kScaleCustom:
        return {ScaleByPercent(iw, info.ZoomX), ScaleByPercent(ih, info.ZoomY)};
    case kScaleCustomFixed:
        return {ScaleByPercent(iw, info.ZoomXY), ScaleByPercent(ih, info.ZoomXY)};
    default:  // "As Is"
        return {iw, ih};
    }
}

// The offset of a w x h picture on the page, in page pixels.
void LayoutOffset(const TPictavoInfo& info, QSize size, std::int64_t& x, std::int64_t& y)
{
    const std::int64_t right = std::int64_t(info.PageWidth) - size.width();
    const std::int64_t bottom = std::int64_t(info.PageHeight) - size.height();
    switch (info.Position) {
    case kPositionTopLeft:
        x = 0, y = 0;
        break;
    case kPositionTopRight:
        x = right, y = 0;
        break;
    case kPositionBottomLeft:
        x = 0, y = bottom;
        break;
    case kPositionBottomRight:
        x = right, y = bottom;
        break;
    case kPositionCustom:
        x = info.X, y = info.Y;
        break;
    default:  // "Center"
        x = Half(right), y = Half(bottom);
        break;
    }
}

// The two-dimensional clamp applied to one axis.
std::int32_t ClampAxis(std::int32_t out, std::int32_t size, std::int32_t client)
{
    std::int64_t value = out;
    if (value + size < kMinVisible)
        value = std::int64_t(kMinVisible) - size;
    if (value + kMinVisible > client)
        value = std::int64_t(client) - kMinVisible;
    return Checked(value);
}

}  // namespace

std::int32_t RoundEven(Extended value)
{
    const Extended rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max()))
        throw std::range_error("real value out of integer range");
    return std::int32_t(rounded);
}

std::int32_t Half(std::int64_t value)
{
    return Checked(value / 2);  // C++ division truncates toward zero
}

Extended PercentFactor(std::int32_t percent)
{
    if (percent > 0)
        return 1 + Extended(percent) / 100;
    return 1 + Extended(percent) / 3201;
}

std::int32_t ScaleByPercent(std::int32_t size, std::int32_t percent)
{
    if (percent == 0)
        return size;
    return RoundEven(size * PercentFactor(percent));
}

void ComputeLayout(TPictavoInfo& info, const TLayoutDevice& device)
{
    const QSize size = LayoutSize(info, device);
    std::int64_t x = 0;
    std::int64_t y = 0;
    LayoutOffset(info, size, x, y);
    info.OutLeft = RoundEven(x * info.ScaleX);
    info.OutTop = RoundEven(y * info.ScaleY);
    info.OutWidth = RoundEven(size.width() * info.ScaleX);
    info.OutHeight = RoundEven(size.height() * info.ScaleY);
    if (info.Position == kPositionCustom)
        ClampCustomPosition(info, device.ClientWidth, device.ClientHeight);
}

void ClampCustomPosition(TPictavoInfo& info, std::int32_t clientWidth, std::int32_t clientHeight)
{
    info.OutLeft = ClampAxis(info.OutLeft, info.OutWidth, clientWidth);
    info.OutTop = ClampAxis(info.OutTop, info.OutHeight, clientHeight);
}

QSize FitPage(std::int32_t clientWidth, std::int32_t clientHeight, std::int32_t margin, Extended pageAspect,
              std::int32_t viewSize)
{
    const std::int32_t aw = Checked(std::int64_t(clientWidth) - 2 * std::int64_t(margin));
    const std::int32_t ah = Checked(std::int64_t(clientHeight) - 2 * std::int64_t(margin));
    std::int32_t w = aw;
    std::int32_t h = RoundEven(aw * pageAspect);
    if (h > w || h > ah) {
        h = ah;
        w = RoundEven(Divide(ah, pageAspect));
    }
    const std::int64_t factor = std::int64_t(viewSize) + 1;
    return {Checked(w * factor), Checked(h * factor)};
}

TSheetPlacement PlaceSheet(QSize area, std::int32_t barExtent, std::int32_t margin, Extended pageAspect,
                           std::int32_t viewSize)
{
    TSheetPlacement placement;
    QSize client = area;
    for (int pass = 0; pass < 2; ++pass) {
        placement.Sheet = FitPage(client.width(), client.height(), margin, pageAspect, viewSize);
        placement.Surround = placement.Sheet + QSize(2 * margin, 2 * margin);
        // A bar along one edge takes room from the other axis, which may then need its own bar.
        bool horizontal = placement.Surround.width() > area.width();
        const bool vertical = placement.Surround.height() > area.height() - (horizontal ? barExtent : 0);
        horizontal = horizontal || placement.Surround.width() > area.width() - (vertical ? barExtent : 0);
        placement.HorizontalBar = horizontal;
        placement.VerticalBar = vertical;
        client = area - QSize(vertical ? barExtent : 0, horizontal ? barExtent : 0);
    }
    return placement;
}

QSize PrintBitmapSize(std::int64_t budget, std::int32_t pageWidth, Extended pageAspect)
{
    // n x round(n x a) never shrinks as n grows, so the first fitting width from the top is the largest one,
    // and the search may start at the largest width the budget can hold instead of at the page width.
    std::int64_t n = pageWidth;
    if (pageAspect > 0 && budget >= 0) {
        const Extended bound =
            (0.5L + std::sqrt(0.25L + 4 * pageAspect * Extended(budget) / 3)) / (2 * pageAspect) + 2;
        if (bound < Extended(n))
            n = std::int64_t(bound);
    }
    Extended h = 0;
    for (; n >= 1; --n) {
        h = std::nearbyint(n * pageAspect);
        if (n * h * 3 <= Extended(budget))
            break;
    }
    if (n >= 1 && h >= 1 && h <= std::numeric_limits<std::int32_t>::max())
        return {int(n), int(h)};
    return {kFallbackPrintWidth, kFallbackPrintHeight};
}

void UpdateSizes(TPictavoInfo& info, const TSizeInputs& in)
{
    const auto mm = [](std::int32_t pixels, std::int32_t dpi) { return RoundEven(Divide(pixels, dpi) * 25.4L); };
    info.PageWidthMM = mm(in.PageWidth, in.DpiX);
    info.PageHeightMM = mm(in.PageHeight, in.DpiY);
    info.PictureWidthMM = mm(in.PictureWidth, in.DpiX);
    info.PictureHeightMM = mm(in.PictureHeight, in.DpiY);
}

void UpdateTitles(TPictavoInfo& info, const QString& qualityName)
{
    const QString program = QStringLiteral("Pictavo");
    info.Title = info.Name.isEmpty() ? program : info.Name + " - " + program;
    info.JobTitle = info.Title + " [" + qualityName + ", " + info.CopiesText + "]";
}

TPictavoInfo ValidatedInfo(TPictavoInfo info)
{
    info.Name = info.Name.left(kNameLength);
    info.Quality = std::min<std::uint8_t>(info.Quality, kQualityHigh);
    info.Position = std::min<std::uint8_t>(info.Position, kPositionCustom);
    info.Scale = std::min<std::uint8_t>(info.Scale, kScaleCustomFixed);
    info.Orientation = std::min<std::uint8_t>(info.Orientation, kOrientationLandscape);
    return info;
}

std::int32_t PercentForResolution(std::int32_t printerDpi, double pictureDpi)
{
    if (printerDpi <= 0 || !(pictureDpi > 0))
        return 0;
    // Bounded so that a picture claiming a tiny resolution cannot ask for an absurd percentage.
    constexpr Extended kMaxPercent = 100000;
    return RoundEven(std::clamp<Extended>(Extended(printerDpi) * 100 / Extended(pictureDpi), 1, kMaxPercent));
}

QSize LayoutPictureSize(QSize delivered, QSize full)
{
    if (full.isEmpty() || full == delivered)
        return delivered;
    const auto mismatch = [&](QSize size) {
        return std::abs(std::int64_t(size.width()) * delivered.height() - std::int64_t(size.height()) * delivered.width());
    };
    const QSize turned = full.transposed();
    const QSize oriented = mismatch(turned) < mismatch(full) ? turned : full;
    if (oriented.width() < delivered.width() || oriented.height() < delivered.height())
        return delivered;
    return oriented;
}

QSize NeededDecodeSize(QSize full, const std::function<QSize(QSize full)>& outputSize)
{
    const QSize upright = outputSize(full);
    const QSize turned = outputSize(full.transposed()).transposed();
    return upright.expandedTo(turned).expandedTo(QSize(1, 1));
}
