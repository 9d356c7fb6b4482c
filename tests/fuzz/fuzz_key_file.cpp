// The per-user key file, read before anything else at start.
#include "fuzz_input.h"
#include "registry_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ovistra::platform::RegistryDocument document;
    if (!document.Load(ovistra::fuzz::InputFile(data, size))) {
        return 0;
    }
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Halvorn\\Brisquel");
    for (const char* name : {"AppPath", "RecordPath", "EachTime", "FrameRate1", ""}) {
        (void)document.Value(key, QString::fromLatin1(name));
    }
    (void)document.HasKey(key);
    document.SetValue(key, QStringLiteral("EachTime"),
                      ovistra::platform::RegistryValue::Number(1000));
    return 0;
}
