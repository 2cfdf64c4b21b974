// Enhanced metafile parsing and playback over arbitrary bytes.
#include "formats/metafile_player.h"
#include "metafile_fuzz_common.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return FuzzMetafile(data, size, EmfNaturalSize, PlayEmf);
}
