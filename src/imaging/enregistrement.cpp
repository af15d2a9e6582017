// Save-as of the current object, with the compression preview.
#include "imaging/imagerie.h"

namespace kal {

bool Imagerie::enregphoto() { return true; }
void Imagerie::compression() {}

}  // namespace kal
