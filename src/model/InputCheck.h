// The record check of Save/Run.
#pragma once

#include "UDMTevlora.h"

// Times strictly increasing, no negative rain and, in analysis, no negative
// runoff. Records marked Removed are skipped.
bool InputCheck(const TDMTevlora& data);
