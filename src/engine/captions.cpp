#include "engine/captions.h"

#include "common/translate.h"

#include <optional>

namespace {

struct TCaptionTables {
    QStringList Scales;
    QStringList Positions;
    QStringList Qualities;
    QStringList Orientations;
};

QStringList Translated(std::initializer_list<const char*> english)
{
    QStringList list;
    for (const char* text : english)
        list << Translate(QString::fromLatin1(text));
    return list;
}

std::optional<TCaptionTables>& Tables()
{
    static std::optional<TCaptionTables> tables;
    return tables;
}

const TCaptionTables& Built()
{
    if (!Tables())
        InitEngineCaptions();
    return *Tables();
}

}  // namespace

void InitEngineCaptions()
{
    Tables() = TCaptionTables{
        Translated({"Actual Size", "Scale to Page", "Fit to Page", "As Is", "Custom", "Custom Fixed"}),
        Translated({"Top Left", "Top Right", "Bottom Left", "Bottom Right", "Center", "Custom"}),
        Translated({"Low", "Medium", "High"}),
        Translated({"Portrait", "Landscape"}),
    };
}

void ReleaseEngineCaptions()
{
    Tables().reset();
}

const QStringList& ScaleCaptions() { return Built().Scales; }
const QStringList& PositionCaptions() { return Built().Positions; }
const QStringList& QualityCaptions() { return Built().Qualities; }
const QStringList& OrientationCaptions() { return Built().Orientations; }
