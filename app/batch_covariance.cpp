#include "app/batch.h"

namespace estimetrix {

BatchArea CovarianceBatchArea() { return {}; }

}  // namespace estimetrix
