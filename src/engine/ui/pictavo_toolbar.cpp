// The controls of the options toolbar: placeholders until the toolbar's lists and bars are built. The panel and
// the (empty) toolbar form already exist, so the sheet keeps its place above or below them.
#include "engine/ui/pictavo.h"

void TPictavo::BuildToolbarControls()
{
}

void TPictavo::UpdateToolbar()
{
}

void TPictavo::SyncToolbar()
{
    if (FSyncDepth != 0)
        return;
    ++FSyncDepth;
    --FSyncDepth;
}

void TPictavo::ToolbarChanged(QObject* control)
{
    Q_UNUSED(control);
}
