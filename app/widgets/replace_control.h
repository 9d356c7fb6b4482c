// Swapping a template's placeholder control for a widget of our own (an owner-drawn button, a
// picture slot) in the same place of the layout, under the same number.
#pragma once

#include <QLayout>
#include <QVariant>
#include <QWidget>

#include "resource_library.h"

namespace ovistra {

// Puts the widget `make` builds from the template's control `id` in its place, under the same
// number and size. Null when the template lacks the control.
template <typename Make>
auto ReplaceControl(QWidget* form, int id, Make make) -> decltype(make(form)) {
    QWidget* placeholder = ResourceLibrary::FindControl(form, id);
    // The layout of the widget that holds it (a group box has its own).
    QLayout* layout = placeholder && placeholder->parentWidget()
                          ? placeholder->parentWidget()->layout()
                          : nullptr;
    if (!layout) {
        return nullptr;
    }
    auto* replacement = make(placeholder);
    replacement->setObjectName(placeholder->objectName());
    replacement->setProperty("controlId", id);
    replacement->setMinimumSize(placeholder->minimumSize());
    replacement->setMaximumSize(placeholder->maximumSize());
    replacement->setSizePolicy(placeholder->sizePolicy());
    replacement->setFocusPolicy(placeholder->focusPolicy());
    delete layout->replaceWidget(placeholder, replacement);
    delete placeholder;
    return replacement;
}

}  // namespace ovistra
