#include "app/CompatList.h"
