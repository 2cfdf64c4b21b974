#pragma once

#include "engine/layout.h"
#include "engine/pictavo_info.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// What the picture will be on paper: its printed size and the resolution it prints at.

// Below this many picture pixels per inch a print looks soft at reading distance.
constexpr std::int32_t kSoftPPI = 150;

struct TReadoutInputs {
    TPictavoInfo Info;       // scale mode, percentages, page and picture sizes
    TLayoutDevice Device;    // the printer's and the screen's resolutions
    // The page bitmap the print is made from (smaller than the page at the lower qualities or on a tight memory
    // budget); 0 means one bitmap pixel per printer pixel.
    std::int32_t OutputWidth = 0;
    std::int32_t OutputHeight = 0;
    bool Inches = false;     // the paper is a US size: sizes in inches
};

struct TPrintReadout {
    bool Valid = false;      // false without a picture or when the picture has no size on paper
    bool Inches = false;
    Extended Width = 0;      // printed size, in millimetres or inches
    Extended Height = 0;
    std::int32_t PicturePPI = 0;  // picture pixels per inch of paper, the lower of the two axes
    std::int32_t OutputPPI = 0;   // pixels per inch the page is printed at, the lower of the two axes
    std::int32_t PPI = 0;         // what reaches the paper: the lower of the two above
    bool Soft = false;            // PPI below kSoftPPI
    bool Reduced = false;         // the picture has more pixels than the print can carry
};

// Lays the picture out in page pixels and measures it on paper. Never throws: a layout that cannot be computed
// gives an invalid readout.
TPrintReadout ComputeReadout(const TReadoutInputs& inputs);

// "127 × 85 mm" (inches with two decimals) and "300 ppi": the two halves of the readout, which the toolbar
// draws apart so the resolution can take the warning colour; empty when not valid.
QString ReadoutSizeText(const TPrintReadout& readout);
QString ReadoutResolutionText(const TPrintReadout& readout);
// "127 × 85 mm · 300 ppi"; empty when not valid.
QString ReadoutText(const TPrintReadout& readout);
// "printed size 127 x 85 mm at 300 ppi", for standard error; empty when not valid.
QString VerboseReadoutText(const TPrintReadout& readout);
// The tooltip of the resolution: why it is drawn in the warning colour or why the picture is reduced; empty
// when there is nothing to say.
QString ReadoutHint(const TPrintReadout& readout);
