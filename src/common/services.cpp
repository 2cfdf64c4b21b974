#include "common/services.h"

#include "common/general.h"
#include "common/guarded.h"
#include "common/paths.h"
#include "common/translate.h"
#include "common/zfile.h"

#include <cstdlib>
#include <ctime>

void InitServices()
{
    std::srand(unsigned(std::time(nullptr)));
}

void FinalizeServices()
{
    Guarded([] {
        if (TZFile* zfile = GetZFile())
            zfile->SweepTempFiles();
        FreeZFile();
    });
    // Freeing runs destructors and releasing catches what the translator raises: neither throws.
    FreePaths();
    FreeGeneral();
    ReleaseTranslator();
    Guarded([] {
        TPaths& paths = GetPaths();
        paths.DeleteFileForced(paths.DataFolder("Settings") + "TPictavo.BMP");
    });
}

void FatalOutOfMemory()
{
    TGeneral().FatalOutOfMemory();
}

void EndProcess(int status)
{
    FinalizeServices();
    std::exit(status);
}
