// Working a dialog's controls by number in a test, as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>

namespace ovistra::testing {

// Clicks the button with this number and delivers what the click posted.
template <typename Dialog>
void ClickControl(Dialog& dialog, int id) {
    auto* button = qobject_cast<QAbstractButton*>(dialog.Control(id));
    ASSERT_TRUE(button) << id;
    button->click();
    QCoreApplication::sendPostedEvents();
}

template <typename Dialog>
bool IsChecked(const Dialog& dialog, int id) {
    auto* button = qobject_cast<QAbstractButton*>(dialog.Control(id));
    return button && button->isChecked();
}

}  // namespace ovistra::testing
