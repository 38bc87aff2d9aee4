#include "model/P3dmodell.h"
