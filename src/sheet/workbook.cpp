#include "sheet/workbook.h"
