#include "db/DBTypes.h"

namespace pavana {

static_assert(ftLargeint == 25 && ptResult == 4 && dsOpening == 12,
              "stored definitions depend on these ordinals");

}  // namespace pavana
