#include "runner/form1.h"

namespace pellavin::runner {

void Form1::TP_Timer() {}

void Form1::BP_Timer() {}

void Form1::Form_KeyDown(int16_t& /*KeyCode*/, int16_t /*Shift*/) { End(); }

void Form1::Form_Click() { End(); }

}  // namespace pellavin::runner
