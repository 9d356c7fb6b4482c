// Setting the lock password: the new one twice and, once one is set, the current one. It stays
// open on a wrong current password or a confirmation that differs, and saves to the settings
// file only what could be read back whole.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QLineEdit;

namespace ovistra {

class ResourceLibrary;

class CSetPassword : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 160;
    static constexpr int kNewEdit = 1006;
    static constexpr int kConfirmEdit = 1007;
    static constexpr int kOldEdit = 1008;
    static constexpr int kSaveButton = 1049;
    static constexpr int kNewPasswordBytes = 16;

    // `settingsFile` is the program folder's "CustomSetting.dt".
    CSetPassword(const ResourceLibrary& resources, QString settingsFile, QWidget* parent);
    ~CSetPassword() override;

    QWidget* Control(int id) const;

    void OnSave();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* Edit(int id) const;

    const ResourceLibrary& resources_;
    QString settingsFile_;
    QByteArray stored_;  // the current password, decoded
    int checkState_ = 0;
    QWidget* form_ = nullptr;
};

}  // namespace ovistra
