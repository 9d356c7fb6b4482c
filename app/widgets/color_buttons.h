// A template's push buttons drawn by the owner-drawn button instead of the style.
#pragma once

class QWidget;

namespace ovistra {

// Every push button of `form` that carries a control number becomes a CColorButton with its
// text, number, place and size; connect to the buttons afterwards.
void UseColorButtons(QWidget* form);

}  // namespace ovistra
