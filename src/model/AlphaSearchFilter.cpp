#include "AlphaSearchFilter.h"

const TSearchFilter* SelectSearchFilter() { return nullptr; }
