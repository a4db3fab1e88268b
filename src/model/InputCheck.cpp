#include "InputCheck.h"

#include <algorithm>
#include <cstddef>

bool InputCheck(const TDMTevlora& data) {
  std::size_t count = static_cast<std::size_t>(std::max(0, data.NrOfData));
  count = std::min({count, data.Time.size(), data.Rain.size()});
  if (data.Analysis) count = std::min(count, data.Runoff.size());
  bool havePrevious = false;
  double previousTime = 0;
  for (std::size_t r = 0; r < count; ++r) {
    // A row left out by the save keeps stale values in its slot; it is not
    // written, so it must neither fail nor hide a fault of its neighbours.
    if (r < data.Removed.size() && data.Removed[r]) continue;
    // Written so that a value that is not a number fails the check too.
    if (havePrevious && !(data.Time[r] > previousTime)) return false;
    if (!(data.Rain[r] >= 0)) return false;
    if (data.Analysis && !(data.Runoff[r] >= 0)) return false;
    previousTime = data.Time[r];
    havePrevious = true;
  }
  return true;
}
