#include "app/batch.h"

namespace estimetrix {

BatchArea MarquardtBatchArea() { return {}; }

}  // namespace estimetrix
