#include "app/batch.h"

namespace estimetrix {

BatchArea EvaluationBatchArea() {
  return {};
}

}  // namespace estimetrix
