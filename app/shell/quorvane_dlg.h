// The main window: the live view and the owner of every subsystem. It starts the station in a
// fixed order, drives everything through its timers and window messages, and shuts down in a
// fixed order whichever way it is closed.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>

#include "display_mode.h"
#include "keyboard_lock.h"
#include "message_window.h"
#include "registry_key.h"
#include "registry_settings.h"
#include "settings_store.h"

namespace ovistra {

class ResourceLibrary;
struct StationStatistics;

// What the application object hands the main window.
struct StationContext {
    const ResourceLibrary* resources = nullptr;
    platform::RegistryStore* registry = nullptr;
    QString programFolder;  // with a trailing "/"
    StationStatistics* statistics = nullptr;
};

class CQuorvaneDlg : public QDialog, public platform::MessageWindow {
    Q_OBJECT

public:
    explicit CQuorvaneDlg(const StationContext& context, QWidget* parent = nullptr);
    ~CQuorvaneDlg() override;

    // Initialises the window, runs it until it is closed, then shuts down; the one way to run
    // it. False when start-up failed (the user was told by a message box).
    bool RunModal();

    // A command of the window's buttons and menus.
    void OnCommand(int id);

    // The control with this number in the window's template; null when there is none.
    QWidget* Control(int id) const;

    const RegistrySettings& settings() const { return settings_; }
    QString settingsFilePath() const { return settingsFile_; }

    // The clock caption's text for a moment: "%Y-%m-%d  %H:%M:%S".
    static QString ClockText(const QDateTime& when);

protected:
    // --- steps that the capture, recording, schedule, link and settings features fill in
    virtual bool CanMakeVideoView();      // start-up check behind text 115
    virtual void NotifySiblingStarted();  // start-up: tell a running companion program
    virtual int StartCapture();           // timer 909: build and start the capture graph
    virtual void StopSwitching();         // first step of every shutdown: stop the switching thread
    virtual void CheckSchedules();        // timer 908, with the clock's moment
    virtual void LoadRecordingList();     // start-up: "fileinfo.dat"
    virtual void CloseSecondaryWindows();  // exit button: playback window and picture browser
    virtual void StopAllRecordings();
    virtual void StopCaptureGraph();
    virtual void CloseDeviceControl();
    virtual void TearDownCaptureGraph();
    virtual void NotifySiblingStopped();
    virtual void OnFeatureCommand(int id);  // buttons of the settings dialogs, playback, ...
    virtual void OnFeatureMessage(uint32_t msg, platform::WParam w, platform::LParam l);
    virtual QStringList MissingMediaElements();

    void OnTimer(uintptr_t id) override;
    platform::LResult OnMessage(uint32_t msg, platform::WParam w, platform::LParam l) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    RegistrySettings settings_;
    OpenedDialogs openedDialogs_;
    QDateTime clockMoment_;  // the clock's last moment, for the schedule check

private:
    bool OnInitDialog();
    void DestroyWindow();
    void OnDestroy();
    void OnExitButton();
    void ApplyColours();
    void CreateCameraFolders() const;
    void ShowAbout();
    bool FailStartup(int textId);

    const StationContext context_;
    SettingsStore store_;
    QString settingsFile_;
    QWidget* form_ = nullptr;
    platform::DisplayMode displayMode_;
    platform::KeyboardLock keyboardLock_;
    bool startupFailed_ = false;
    bool switchingStopped_ = false;
};

}  // namespace ovistra
