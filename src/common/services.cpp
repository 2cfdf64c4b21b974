#include "common/services.h"

#include "common/general.h"
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
    try {
        if (TZFile* zfile = GetZFile())
            zfile->SweepTempFiles();
        FreeZFile();
    } catch (...) {
    }
    try {
        FreePaths();
    } catch (...) {
    }
    try {
        FreeGeneral();
    } catch (...) {
    }
    try {
        ReleaseTranslator();
    } catch (...) {
    }
    try {
        TPaths& paths = GetPaths();
        paths.DeleteFileForced(paths.DataFolder("Settings") + "TPictavo.BMP");
    } catch (...) {
    }
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
