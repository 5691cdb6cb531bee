#include "app/batch.h"

namespace estimetrix {

BatchArea SummaryBatchArea() {
  return {};
}

}  // namespace estimetrix
