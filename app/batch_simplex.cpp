#include "app/batch.h"

namespace estimetrix {

BatchArea SimplexBatchArea() { return {}; }

}  // namespace estimetrix
