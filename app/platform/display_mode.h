// The station was designed for a 1024 x 768 screen it switched to at start. Here the window
// is maximised instead and the desktop's mode is never changed, so both steps do nothing; they
// stay so that start-up and shutdown keep their order in one place.
#pragma once

namespace ovistra::platform {

class DisplayMode {
public:
    void SwitchForStation() {}
    void Restore() {}
};

}  // namespace ovistra::platform
