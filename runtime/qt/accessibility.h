#pragma once

namespace pellavin::qt_backend {

// Teaches the toolkit how a form's widgets read to assistive technology,
// where its own descriptions would mislead: an option button whose control
// keeps its group reads as a radio button, not as a check box; a check box
// or option button pressed by assistive technology goes through its
// control, like a click; a window with a border reads as a dialog named by
// its caption. Safe to call more than once.
void describe_form_widgets();

}  // namespace pellavin::qt_backend
