#pragma once

#include <QStringList>

// The translated captions of the print options, in code order (the item index is the setting's code). Built
// once by InitEngineCaptions when the engine's module starts, after the translation table is installed, or on
// first use.
const QStringList& ScaleCaptions();        // "Actual Size" ... "Custom Fixed"
const QStringList& PositionCaptions();     // "Top Left" ... "Custom"
const QStringList& QualityCaptions();      // "Low", "Medium", "High"
const QStringList& OrientationCaptions();  // "Portrait", "Landscape"
void InitEngineCaptions();
// Drops the tables (module end); the next use builds them again.
void ReleaseEngineCaptions();
