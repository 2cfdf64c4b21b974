#include "engine/readout.h"

#include "common/guarded.h"
#include "common/translate.h"

#include <algorithm>

namespace {

constexpr Extended kMillimetresPerInch = 25.4L;

QString Length(Extended value, bool inches)
{
    return inches ? QString::number(double(value), 'f', 2) : QString::number(RoundEven(value));
}

QString Unit(bool inches)
{
    return inches ? QStringLiteral("in") : QStringLiteral("mm");
}

// The readout as the layout gives it; throws what the layout arithmetic throws.
TPrintReadout MeasuredReadout(const TReadoutInputs& inputs)
{
    TPrintReadout readout;
    TPictavoInfo info = inputs.Info;
    // The size alone matters here; a custom place must not clamp it against a sheet.
    info.Position = kPositionTopLeft;
    info.ScaleX = info.ScaleY = 1.0L;
    ComputeLayout(info, inputs.Device);
    const Extended dpiX = inputs.Device.DpiX;
    const Extended dpiY = inputs.Device.DpiY;
    if (info.OutWidth <= 0 || info.OutHeight <= 0 || info.PictureWidth <= 0 || info.PictureHeight <= 0 ||
        dpiX <= 0 || dpiY <= 0 || info.PageWidth <= 0 || info.PageHeight <= 0)
        return {};
    const Extended inchesWide = info.OutWidth / dpiX;
    const Extended inchesHigh = info.OutHeight / dpiY;
    const Extended pictureX = info.PictureWidth / inchesWide;
    const Extended pictureY = info.PictureHeight / inchesHigh;
    Extended outputX = dpiX;
    Extended outputY = dpiY;
    if (inputs.OutputWidth > 0 && inputs.OutputHeight > 0) {
        outputX = std::min(outputX, inputs.OutputWidth * dpiX / info.PageWidth);
        outputY = std::min(outputY, inputs.OutputHeight * dpiY / info.PageHeight);
    }
    readout.Inches = inputs.Inches;
    const Extended perInch = inputs.Inches ? 1 : kMillimetresPerInch;
    readout.Width = inchesWide * perInch;
    readout.Height = inchesHigh * perInch;
    readout.PicturePPI = RoundEven(std::min(pictureX, pictureY));
    readout.OutputPPI = RoundEven(std::min(outputX, outputY));
    readout.PPI = RoundEven(std::min(std::min(pictureX, outputX), std::min(pictureY, outputY)));
    readout.Soft = readout.PPI < kSoftPPI;
    readout.Reduced = RoundEven(pictureX) > RoundEven(outputX) || RoundEven(pictureY) > RoundEven(outputY);
    readout.Valid = true;
    return readout;
}

}  // namespace

TPrintReadout ComputeReadout(const TReadoutInputs& inputs)
{
    return GuardedOr(TPrintReadout(), [&] { return MeasuredReadout(inputs); });
}

QString ReadoutSizeText(const TPrintReadout& readout)
{
    if (!readout.Valid)
        return {};
    return QStringLiteral("%1 \u00d7 %2 %3")
        .arg(Length(readout.Width, readout.Inches), Length(readout.Height, readout.Inches), Unit(readout.Inches));
}

QString ReadoutResolutionText(const TPrintReadout& readout)
{
    return readout.Valid ? QStringLiteral("%1 ppi").arg(readout.PPI) : QString();
}

QString ReadoutText(const TPrintReadout& readout)
{
    if (!readout.Valid)
        return {};
    return ReadoutSizeText(readout) + QStringLiteral(" \u00b7 ") + ReadoutResolutionText(readout);
}

QString VerboseReadoutText(const TPrintReadout& readout)
{
    if (!readout.Valid)
        return {};
    return QStringLiteral("printed size %1 x %2 %3 at %4 ppi")
        .arg(Length(readout.Width, readout.Inches), Length(readout.Height, readout.Inches), Unit(readout.Inches))
        .arg(readout.PPI);
}

QString ReadoutHint(const TPrintReadout& readout)
{
    if (!readout.Valid)
        return {};
    QStringList hints;
    if (readout.Soft)
        hints << Translate("The print may look soft: fewer than 150 pixels per inch.");
    if (readout.Reduced)
        hints << Translate("The picture is reduced from %1 to %2 pixels per inch.")
                     .arg(readout.PicturePPI)
                     .arg(readout.OutputPPI);
    return hints.join(u'\n');
}
