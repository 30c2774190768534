#include "toolkit/bitmap.h"
#include "toolkit/exceptions.h"

namespace lumora {

// Work in progress: the BMP reader and writer land here.
void TBitmap::LoadFromStream(std::istream&) { throw EInvalidGraphic("BMP reading is not built yet"); }
void TBitmap::SaveToStream(std::ostream&) { throw EInvalidGraphic("BMP writing is not built yet"); }

}  // namespace lumora
