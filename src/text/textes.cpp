#include "text/textes.h"
