#include "runner/form1.h"

namespace pellavin::runner {

void Form1::Intersection_Timer() {}

}  // namespace pellavin::runner
