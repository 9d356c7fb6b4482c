// The settings file "CustomSetting.dt": colours, the password and the set-up marker.
#include "custom_settings.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ovistra::CustomSettings settings(ovistra::fuzz::InputFile(data, size));
    (void)settings.LoadColourScheme();
    if (settings.LoadPassword().size() > ovistra::CustomSettings::kPasswordChars) {
        __builtin_trap();  // never more than the stored form allows
    }
    (void)settings.LoadCheckState();
    return 0;
}
