#include "runner/form1.h"

namespace pellavin::runner {

void Form1::SetupPong() {}

void Form1::BallMovement_Timer() {}

}  // namespace pellavin::runner
