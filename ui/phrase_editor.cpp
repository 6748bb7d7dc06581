// The phrase editor.
#include "ui/ui.h"
