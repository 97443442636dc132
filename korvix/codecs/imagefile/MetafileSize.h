// The pixel size a metafile is rendered at: from the placeable header of a
// Windows metafile (bounding box in units per inch) or from the frame of an
// enhanced metafile (0.01 mm units), at the given pixels per inch. A size of 0
// or less, or no placeable header, gives 320 x 200.
#pragma once

#include <cstddef>
#include <cstdint>

struct MetafileSize {
    int width = 320;
    int height = 200;
};

// Headless machines have no screen to ask; 96 pixels per inch is the desktop norm.
constexpr int METAFILE_PIXELS_PER_INCH = 96;

// type is IMAGE_WMF or IMAGE_EMF.
MetafileSize metafileSize(int type, const std::uint8_t* bytes, std::size_t size,
                          int pixelsPerInch = METAFILE_PIXELS_PER_INCH);

// Walks the record chain before a renderer sees the data: every record lies
// within the bytes and the chain ends with the end-of-file record. Renderers
// trust record sizes; a cut or damaged file is refused here (CTextException
// code 1) instead.
void checkMetafileRecords(int type, const std::uint8_t* bytes, std::size_t size);
