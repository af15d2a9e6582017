#include "pagefiles/fichierspages.h"
