// Placeholder so the core links while the imaging engine is built; replaced by the real engine.
#include "imaging/ImageTools.h"
