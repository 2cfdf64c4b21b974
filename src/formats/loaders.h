#pragma once

#include "formats/image_info.h"

// The loaders of the registry, one per family of formats. Each follows the common pattern of loader_common.h,
// returns true when the picture is in info.Bitmap at 24 bits per pixel, and never throws.
bool LoadBitmapFile(TImageInfoRec& info);       // .BMP .DIB .RLE
bool LoadJpegFile(TImageInfoRec& info);         // .JPG .JIF .JPEG .JPE
bool LoadIconFile(TImageInfoRec& info);         // .ICO
bool LoadMetafileFile(TImageInfoRec& info);     // .WMF .EMF
bool LoadPortableFile(TImageInfoRec& info);     // .PPM .PGM .PBM
bool LoadXBitmapFile(TImageInfoRec& info);      // .XBM
bool LoadTextPictureFile(TImageInfoRec& info);  // .TEP
bool LoadPngFile(TImageInfoRec& info);          // .PNG
bool LoadGifFile(TImageInfoRec& info);          // .GIF (the first frame)
bool LoadTiffFile(TImageInfoRec& info);         // .TIF .TIFF
bool LoadWebpFile(TImageInfoRec& info);         // .WEBP
bool LoadHeifFile(TImageInfoRec& info);         // .HEIC .HEIF .AVIF
