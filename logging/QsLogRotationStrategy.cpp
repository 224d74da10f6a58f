#include "QsLogRotationStrategy.h"

namespace QsLogging {

RotationStrategy::~RotationStrategy() = default;

}  // namespace QsLogging
