// Stands in for the main window of a dialog under test: keeps the numbers of the messages it is
// posted, in order. The dialogs' answers carry no parameters, so one that does is kept as 0.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

#include "message_window.h"

namespace ovistra::testing {

class PostedMessages : public QWidget, public platform::MessageWindow {
public:
    ~PostedMessages() override { CloseMailbox(); }
    std::vector<uint32_t> messages;

protected:
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override {
        messages.push_back(w == 0 && l == 0 ? msg : 0);
        return 0;
    }
};

}  // namespace ovistra::testing
