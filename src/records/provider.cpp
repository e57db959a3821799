#include "records/provider.h"
