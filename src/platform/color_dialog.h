#pragma once

#include <cstdint>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

// The colour dialog, preset to a colour value (0x00BBGGRR); the chosen value, or nothing when cancelled.
std::optional<std::int32_t> ChooseColor(std::int32_t initial, QWidget* parent);

// Where ChooseColor goes instead of the modal dialog (tests); returns the previous chooser. An empty function
// restores the dialog.
using ColorChooser = std::function<std::optional<std::int32_t>(std::int32_t initial)>;
ColorChooser SetColorChooser(ColorChooser chooser);

}  // namespace platform
