#include "platform/color_dialog.h"

#include "common/bitmap.h"

#include <QColorDialog>

namespace platform {
namespace {

ColorChooser& Chooser()
{
    static ColorChooser chooser;
    return chooser;
}

}  // namespace

std::optional<std::int32_t> ChooseColor(std::int32_t initial, QWidget* parent)
{
    if (Chooser())
        return Chooser()(initial);
    const QColor color = QColorDialog::getColor(ColorFromValue(initial), parent);
    if (!color.isValid())
        return std::nullopt;
    return ValueFromColor(color);
}

ColorChooser SetColorChooser(ColorChooser chooser)
{
    ColorChooser previous = std::move(Chooser());
    Chooser() = std::move(chooser);
    return previous;
}

}  // namespace platform
