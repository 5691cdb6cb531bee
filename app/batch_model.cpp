#include "app/batch.h"

namespace estimetrix {

BatchArea ModelBatchArea() { return {}; }

}  // namespace estimetrix
