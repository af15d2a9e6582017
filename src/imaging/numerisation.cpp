// Scanning a page onto the page as a new object.
#include "imaging/imagerie.h"

namespace kal {

bool Imagerie::scanning() { return true; }

}  // namespace kal
