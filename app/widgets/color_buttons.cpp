#include "color_buttons.h"

#include <QPushButton>

#include "c_color_button.h"
#include "replace_control.h"

namespace ovistra {

void UseColorButtons(QWidget* form) {
    for (auto* button : form->findChildren<QPushButton*>()) {
        const int id = button->property("controlId").toInt();
        if (id > 0 && !qobject_cast<CColorButton*>(button)) {
            ReplaceControl(form, id, [](QWidget* placeholder) {
                return new CColorButton(placeholder->property("text").toString(),
                                        placeholder->parentWidget());
            });
        }
    }
}

}  // namespace ovistra
