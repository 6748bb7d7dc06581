// Anchors.
#include "ui/ui.h"
