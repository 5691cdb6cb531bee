#include "app/batch.h"

namespace estimetrix {

BatchArea PriorsBatchArea() {
  return {};
}

}  // namespace estimetrix
