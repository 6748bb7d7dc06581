// placeholder
#include "tests/e2e/e2e_fixture.h"
