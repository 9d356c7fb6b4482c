#include "settings_store.h"

#include <QStringList>
#include <cmath>

namespace ovistra {
namespace {

using platform::CRegistryKey;
using platform::RegistryRoot;

const QString kPolicyKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System");

// An empty schedule reads back as a date with no time of day, so it never fires.
const QString kNoSchedule = QStringLiteral("19711010");

QString Numbered(const char* pattern, int camera) {
    return QString::fromLatin1(pattern).arg(camera);
}

// Takes a stored number only when it lies in the range its users can work with; a wild value
// (a frame period of 0 ms, a sleep of weeks, an index past the cameras) keeps the default.
void ReadInRange(const CRegistryKey& key, const QString& name, uint32_t& field, uint32_t lo,
                 uint32_t hi) {
    uint32_t value = 0;
    if (key.ReadDword(name, &value) && value >= lo && value <= hi) {
        field = value;
    }
}

void ReadInRange(const CRegistryKey& key, const QString& name, SharedSetting& field, uint32_t lo,
                 uint32_t hi) {
    uint32_t value = field.Get();
    ReadInRange(key, name, value, lo, hi);
    field.Set(value);
}

// Frame rates: a stored 0 means 25; anything outside 1..30 keeps what was in force.
void ReadFrameRate(const CRegistryKey& key, const QString& name, uint32_t& field) {
    uint32_t value = field;
    key.ReadDword(name, &value);
    if (value == 0) {
        value = 25;
    }
    if (value >= 1 && value <= 30) {
        field = value;
    }
}

void ReadSchedule(const CRegistryKey& key, const QString& name, QString& field) {
    if (key.ReadString(name, &field) && field.isEmpty()) {
        field = kNoSchedule;
    }
}

constexpr uint32_t kMaskMax = 0xF;
constexpr uint32_t kMaxPreAlarmSeconds = 30;
constexpr uint32_t kMaxAlarmMinTicks = 20;
constexpr uint32_t kMinuteMs = 60000;
constexpr uint32_t kMaxPort = 65535;
constexpr uint32_t kMaxRtspFrameRate = 30;
constexpr uint32_t kMaxRtspClients = 8;

}  // namespace

const QString SettingsStore::kProgramKey = QStringLiteral("Software\\Halvorn\\Brisquel");

SettingsStore::SettingsStore(platform::RegistryStore& registry) : registry_(registry) {}

std::optional<platform::RegistryValue::Type> SettingsStore::TypeOf(const QString& name) {
    using Type = platform::RegistryValue::Type;
    static const QStringList strings = [] {
        QStringList names{"AppPath", "RecordPath", "AudioInput", "AlarmCommand",
                          "AlarmEndCommand", "RtspBind"};
        for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
            names << Numbered("Camera%1OSD", n) << Numbered("Camera%1Schedule", n)
                  << Numbered("Camera%1EndSchedule", n) << Numbered("MotionZones%1", n);
        }
        return names;
    }();
    static const QStringList numbers = [] {
        QStringList names{"EachTime",    "Distime",        "Intervaltime",   "FrameSpeed",
                          "SelectDis",   "Brightness",     "FrameRateAll",   "TimeStamp",
                          "CameraAudio", "RecordMode",     "ScheduleCamera", "MotionDetectCamera",
                          "SenseMode",   "DetectingAction", "PreAlarmSeconds",
                          "LightChangeReject", "AlarmMinTicks", "RtspPort",
                          "RtspFrameRate", "RtspMaxClients"};
        for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
            names << Numbered("FrameRate%1", n);
        }
        return names;
    }();
    if (strings.contains(name, Qt::CaseInsensitive)) {
        return Type::String;
    }
    if (numbers.contains(name, Qt::CaseInsensitive)) {
        return Type::Number;
    }
    return std::nullopt;
}

bool SettingsStore::LoadSchedules(RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForRead(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        ReadSchedule(key, Numbered("Camera%1Schedule", n), s.cameraSchedule[n - 1]);
    }
    ReadInRange(key, "ScheduleCamera", s.scheduleCamera, 0, kMaskMax);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        ReadSchedule(key, Numbered("Camera%1EndSchedule", n), s.cameraEndSchedule[n - 1]);
    }
    return true;
}

bool SettingsStore::LoadRecordSettings(RegistrySettings& s) const {
    {
        CRegistryKey policy(registry_);
        uint32_t value = 0;
        if (policy.OpenForRead(RegistryRoot::LocalMachine, kPolicyKey) &&
            policy.ReadDword("EnableLUA", &value)) {
            s.enableLua = static_cast<uint16_t>(value);
        }
    }
    CRegistryKey key(registry_);
    if (!key.OpenForRead(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    // An empty path stays as stored; the record folder derived from it is the videos folder.
    key.ReadString("RecordPath", &s.recordPath);
    ReadFrameRate(key, "FrameRateAll", s.frameRateAll);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        ReadFrameRate(key, Numbered("FrameRate%1", n), s.frameRate[n - 1]);
    }
    ReadInRange(key, "TimeStamp", s.timeStamp, 0, kMaskMax);
    ReadInRange(key, "CameraAudio", s.cameraAudio, 0, RegistrySettings::kCameras);
    uint32_t mode = 0;
    if (key.ReadDword("RecordMode", &mode)) {
        s.recordMode = mode != 0;
    }
    key.ReadString("AudioInput", &s.audioInput);
    return true;
}

bool SettingsStore::LoadCameraSettings(RegistrySettings& s, const NameChanged& nameChanged) const {
    CRegistryKey key(registry_);
    if (!key.OpenForRead(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        QString name;
        if (key.ReadString(Numbered("Camera%1OSD", n), &name) && name != s.cameraOsd[n - 1]) {
            s.cameraOsd[n - 1] = name;
            if (nameChanged) {
                nameChanged(n, name);
            }
        }
    }
    ReadInRange(key, "EachTime", s.eachTimeMs, 80, kMinuteMs);
    ReadInRange(key, "Distime", s.disTimeMs, 0, kMinuteMs);
    ReadInRange(key, "Intervaltime", s.intervalTimeMs, 0, kMinuteMs);
    ReadInRange(key, "Brightness", s.brightness, 0, 255);
    ReadInRange(key, "FrameSpeed", s.frameSpeed, 1136, 1141);
    ReadInRange(key, "SelectDis", s.selectDis, 0, 6);
    return true;
}

bool SettingsStore::LoadMotionSettings(RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForRead(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    // Only the low four bits select cameras; higher ones are kept as stored and ignored.
    key.ReadDword("MotionDetectCamera", &s.motionDetectCamera);
    // 0 is the threshold that follows the picture's measured noise, never a fixed 0.
    ReadInRange(key, "SenseMode", s.senseMode, 0, 255);
    ReadInRange(key, "DetectingAction", s.detectingAction, 0, kMaskMax);
    ReadInRange(key, "PreAlarmSeconds", s.preAlarmSeconds, 0, kMaxPreAlarmSeconds);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.ReadString(Numbered("MotionZones%1", n), &s.motionZones[n - 1]);
    }
    uint32_t reject = 0;
    if (key.ReadDword("LightChangeReject", &reject)) {
        s.lightChangeReject = reject != 0;
    }
    ReadInRange(key, "AlarmMinTicks", s.alarmMinTicks, 1, kMaxAlarmMinTicks);
    key.ReadString("AlarmCommand", &s.alarmCommand);
    key.ReadString("AlarmEndCommand", &s.alarmEndCommand);
    key.ReadString("AppPath", &s.appPath);
    return true;
}

bool SettingsStore::LoadNetworkSettings(RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForRead(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    ReadInRange(key, "RtspPort", s.rtspPort, 0, kMaxPort);
    QString bind;
    // An empty address would listen everywhere: it keeps the loopback default.
    if (key.ReadString("RtspBind", &bind) && !bind.trimmed().isEmpty()) {
        s.rtspBind = bind.trimmed();
    }
    ReadInRange(key, "RtspFrameRate", s.rtspFrameRate, 1, kMaxRtspFrameRate);
    ReadInRange(key, "RtspMaxClients", s.rtspMaxClients, 1, kMaxRtspClients);
    return true;
}

void SettingsStore::LoadAll(RegistrySettings& s, const NameChanged& nameChanged) const {
    LoadSchedules(s);
    LoadRecordSettings(s);
    LoadCameraSettings(s, nameChanged);
    LoadMotionSettings(s);
    LoadNetworkSettings(s);
}

bool SettingsStore::SaveSchedules(const RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForWrite(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    key.WriteDword("ScheduleCamera", s.scheduleCamera);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.WriteString(Numbered("Camera%1Schedule", n), s.cameraSchedule[n - 1]);
    }
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.WriteString(Numbered("Camera%1EndSchedule", n), s.cameraEndSchedule[n - 1]);
    }
    return key.Close();
}

bool SettingsStore::SaveRecordSettings(const RegistrySettings& s) const {
    {
        // Written back only where the system key opens for writing and already holds it.
        CRegistryKey policy(registry_);
        uint32_t existing = 0;
        if (policy.OpenForWrite(RegistryRoot::LocalMachine, kPolicyKey) &&
            policy.ReadDword("EnableLUA", &existing)) {
            policy.WriteDword("EnableLUA", s.enableLua);
        }
    }
    CRegistryKey key(registry_);
    if (!key.OpenForWrite(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    key.WriteDword("FrameRateAll", s.frameRateAll);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.WriteDword(Numbered("FrameRate%1", n), s.frameRate[n - 1]);
    }
    key.WriteDword("TimeStamp", s.timeStamp);
    key.WriteDword("CameraAudio", s.cameraAudio);
    key.WriteDword("RecordMode", s.recordMode ? 1 : 0);
    key.WriteString("RecordPath", s.recordPath);
    key.WriteString("AudioInput", s.audioInput);
    return key.Close();
}

bool SettingsStore::SaveMotionSettings(const RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForWrite(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    key.WriteDword("MotionDetectCamera", s.motionDetectCamera);
    key.WriteDword("DetectingAction", s.detectingAction);
    key.WriteDword("SenseMode", s.senseMode);
    key.WriteDword("PreAlarmSeconds", s.preAlarmSeconds);
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.WriteString(Numbered("MotionZones%1", n), s.motionZones[n - 1]);
    }
    key.WriteDword("LightChangeReject", s.lightChangeReject ? 1 : 0);
    key.WriteDword("AlarmMinTicks", s.alarmMinTicks);
    return key.Close();
}

bool SettingsStore::SaveNetworkSettings(const RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForWrite(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    key.WriteDword("RtspPort", s.rtspPort);
    key.WriteString("RtspBind", s.rtspBind);
    key.WriteDword("RtspFrameRate", s.rtspFrameRate);
    key.WriteDword("RtspMaxClients", s.rtspMaxClients);
    return key.Close();
}

bool SettingsStore::SaveCameraSettings(const RegistrySettings& s) const {
    CRegistryKey key(registry_);
    if (!key.OpenForWrite(RegistryRoot::CurrentUser, kProgramKey)) {
        return false;
    }
    for (int n = 1; n <= RegistrySettings::kCameras; ++n) {
        key.WriteString(Numbered("Camera%1OSD", n), s.cameraOsd[n - 1]);
    }
    key.WriteDword("EachTime", s.eachTimeMs.Get());
    key.WriteDword("Intervaltime", s.intervalTimeMs.Get());
    key.WriteDword("Distime", s.disTimeMs.Get());
    key.WriteDword("FrameSpeed", s.frameSpeed);
    key.WriteDword("SelectDis", s.selectDis);
    key.WriteDword("Brightness", s.brightness);
    return key.Close();
}

void SettingsStore::SaveOpenedGroups(const RegistrySettings& s, const OpenedDialogs& opened) const {
    if (opened.schedule) {
        SaveSchedules(s);
    }
    if (opened.record) {
        SaveRecordSettings(s);
    }
    if (opened.motion) {
        SaveMotionSettings(s);
    }
    if (opened.camera) {
        SaveCameraSettings(s);
    }
}

bool AddRunOverride(platform::RegistryStore& registry, const QString& name, const QString& value,
                    QString* error) {
    using platform::RegistryValue;
    const auto type = SettingsStore::TypeOf(name);
    if (!type) {
        *error = QStringLiteral("%1 is not a setting of the station").arg(name);
        return false;
    }
    if (*type == RegistryValue::Type::String) {
        registry.SetOverride(SettingsStore::kProgramKey, name, RegistryValue::String(value));
        return true;
    }
    bool ok = false;
    const QString digits = value.trimmed();
    const qulonglong number = digits.startsWith("0x", Qt::CaseInsensitive)
                                  ? digits.mid(2).toULongLong(&ok, 16)
                                  : digits.toULongLong(&ok, 10);
    if (!ok || number > 0xFFFFFFFFull) {
        *error =
            QStringLiteral("%1 takes a number from 0 to 4294967295, not \"%2\"").arg(name, value);
        return false;
    }
    registry.SetOverride(SettingsStore::kProgramKey, name,
                         RegistryValue::Number(static_cast<uint32_t>(number)));
    return true;
}

uint32_t MillisecondsFromSeconds(double seconds) {
    if (!(seconds > 0)) {
        return 0;
    }
    // A millionth of a millisecond absorbs the binary representation error of a typed decimal.
    const double ms = std::floor(seconds * 1000.0 + 1e-6);
    return ms >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(ms);
}

}  // namespace ovistra
