#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rtl/Bitmap.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

// Reads any byte block as a BMP file; a bitmap that reads has every pixel read, and is
// written and read again to the same bitmap.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavana;
    TBitmap bitmap;
    TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
    try {
        bitmap.LoadFromStream(in);
    } catch (const EInvalidGraphic&) {
        return 0;
    }
    volatile std::uint32_t sink = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) sink = sink ^ bitmap.Pixel(x, y);
    TMemoryStream out;
    bitmap.SaveToStream(out);
    out.SetPosition(0);
    TBitmap again;
    again.LoadFromStream(out);
    if (!(again == bitmap)) std::abort();
    return 0;
}
