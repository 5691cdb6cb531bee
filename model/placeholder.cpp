#include "model/carapex_setup.h"
